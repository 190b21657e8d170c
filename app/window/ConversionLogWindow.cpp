#include "app/window/ConversionLogWindow.h"

#include <QHeaderView>

#include "app/desktop/DialogLook.h"
#include "app/desktop/FileViewer.h"
#include "app/desktop/FolderOpener.h"
#include "app/handlers/ConversionLog.h"

namespace rowvane::app {

namespace {

// The folder part of an output path, as typed into the output folder box.
QString FolderOf(const QString& path) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

}  // namespace

ConversionLogWindow::ConversionLogWindow(ConversionLog& log, FileViewer& viewer,
                                         FolderOpener& folders, QWidget* parent)
    : QWidget(parent, Qt::Window), m_log(log), m_viewer(viewer), m_folders(folders) {
  setObjectName(QStringLiteral("ConversionLogWindow"));
  setWindowTitle(QStringLiteral("Conversion Log"));
  setAccessibleName(windowTitle());
  setAccessibleDescription(QStringLiteral(
      "Every file of this session's runs, newest run first, and what became of it."));
  UseWindowFontFamily(*this);
  layOut();
  connect(&m_table, &QAbstractItemView::activated, this, &ConversionLogWindow::viewOutput);
  connect(&m_openFolder, &QPushButton::clicked, this, &ConversionLogWindow::openOutputFolder);
  const auto updateButton = [this] { m_openFolder.setEnabled(m_log.rowCount() > 0); };
  connect(&m_log, &QAbstractItemModel::rowsInserted, this, updateButton);
  updateButton();
}

void ConversionLogWindow::layOut() {
  m_table.setObjectName(QStringLiteral("LogTable"));
  m_table.setModel(&m_log);
  m_table.setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table.setSelectionMode(QAbstractItemView::SingleSelection);
  m_table.setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table.setWordWrap(false);
  m_table.verticalHeader()->hide();
  m_table.horizontalHeader()->setStretchLastSection(true);
  m_table.setAccessibleName(QStringLiteral("Converted files"));
  m_table.setAccessibleDescription(QStringLiteral(
      "Input, output, result, records, size, time and warnings of each file; Enter or a "
      "double-click opens a converted file's output."));
  m_openFolder.setObjectName(QStringLiteral("OpenFolderButton"));
  m_openFolder.setText(QStringLiteral("Open &Output Folder"));
  m_openFolder.setAccessibleName(QStringLiteral("Open Output Folder"));
  m_openFolder.setAccessibleDescription(QStringLiteral(
      "Shows the folder of the selected file's output, else of the newest, in the file browser."));
  m_layout.addWidget(&m_table);
  m_layout.addWidget(&m_openFolder, 0, Qt::AlignRight);
  resize(860, 320);
}

void ConversionLogWindow::present() {
  show();
  raise();
  activateWindow();
}

void ConversionLogWindow::viewOutput(const QModelIndex& index) {
  if (index.isValid() && m_log.file(index.row()).converted) {
    m_viewer.view(m_log.file(index.row()).output);
  }
}

// The selected row, else the newest one; -1 when the log is empty.
int ConversionLogWindow::chosenRow() const {
  const QModelIndexList selected = m_table.selectionModel()->selectedRows();
  if (!selected.isEmpty()) {
    return selected.first().row();
  }
  return m_log.rowCount() > 0 ? 0 : -1;
}

void ConversionLogWindow::openOutputFolder() {
  const int row = chosenRow();
  if (row >= 0 && !m_log.file(row).output.isEmpty()) {
    m_folders.open(FolderOf(m_log.file(row).output));
  }
}

}  // namespace rowvane::app
