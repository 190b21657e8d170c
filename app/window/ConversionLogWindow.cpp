#include "app/window/ConversionLogWindow.h"

#include <QHeaderView>
#include <QItemSelectionModel>

#include "app/controls/ScreenPlacement.h"
#include "app/desktop/DialogLook.h"
#include "app/desktop/FileViewer.h"
#include "app/desktop/FolderOpener.h"
#include "app/desktop/LocalPath.h"
#include "app/desktop/MessageBoxes.h"
#include "app/handlers/ConversionLog.h"

namespace rowvane::app {

namespace {

// The folder part of an output path, as typed into the output folder box.
QString FolderOf(const QString& path) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

QString NoProgramFor(const QString& path) {
  return QStringLiteral("%1 cannot be opened: no program is set up to open it.")
      .arg(PathForDisplay(path));
}

}  // namespace

ConversionLogWindow::ConversionLogWindow(ConversionLog& log, FileViewer& viewer,
                                         FolderOpener& folders, MessageBoxes& boxes, QString title,
                                         QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_log(log),
      m_viewer(viewer),
      m_folders(folders),
      m_boxes(boxes),
      m_title(std::move(title)) {
  setObjectName(QStringLiteral("ConversionLogWindow"));
  setWindowTitle(QStringLiteral("Conversion Log"));
  setAccessibleName(windowTitle());
  setAccessibleDescription(QStringLiteral(
      "Every file of this session's runs, newest run first, and what became of it."));
  UseWindowFontFamily(*this);
  layOut();
  connect(&m_table, &QAbstractItemView::activated, this, &ConversionLogWindow::viewOutput);
  connect(&m_openFolder, &QPushButton::clicked, this, &ConversionLogWindow::openOutputFolder);
  connect(m_table.selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &ConversionLogWindow::showDetails);
  connect(&m_escape, &QShortcut::activated, this, &QWidget::close);
  const auto updateButton = [this] { m_openFolder.setEnabled(m_log.rowCount() > 0); };
  connect(&m_log, &QAbstractItemModel::rowsInserted, this, updateButton);
  connect(&m_log, &QAbstractItemModel::rowsInserted, this, &ConversionLogWindow::showDetails);
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
  m_table.horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  m_table.horizontalHeader()->setStretchLastSection(true);
  m_table.setAccessibleName(QStringLiteral("Converted files"));
  m_table.setAccessibleDescription(QStringLiteral(
      "Input, output, result, records, size, time and warnings of each file; Enter or a "
      "double-click opens a converted file's output."));
  m_details.setObjectName(QStringLiteral("LogDetails"));
  m_details.setTextFormat(Qt::PlainText);
  m_details.setWordWrap(true);
  m_details.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  m_details.setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_details.setMinimumHeight(m_details.fontMetrics().lineSpacing() * 4);
  m_details.setAccessibleName(QStringLiteral("Details"));
  m_details.setAccessibleDescription(
      QStringLiteral("Everything about the selected file: where it was written, or why not."));
  m_openFolder.setObjectName(QStringLiteral("OpenFolderButton"));
  m_openFolder.setText(QStringLiteral("Open &Output Folder"));
  m_openFolder.setAccessibleName(QStringLiteral("Open Output Folder"));
  m_openFolder.setAccessibleDescription(QStringLiteral(
      "Shows the folder of the selected file's output, else of the newest, in the file browser."));
  m_layout.addWidget(&m_table, 1);
  m_layout.addWidget(&m_details);
  m_layout.addWidget(&m_openFolder, 0, Qt::AlignRight);
  resize(860, 380);
}

void ConversionLogWindow::present() {
  if (!isVisible() && parentWidget() != nullptr) {
    ShowBeside(*this, *parentWidget()->window());
  }
  show();
  raise();
  activateWindow();
}

void ConversionLogWindow::viewOutput(const QModelIndex& index) {
  if (!index.isValid()) {
    return;
  }
  const LoggedFile& logged = m_log.file(index.row());
  if (!logged.converted) {
    tell(QStringLiteral("%1 has no output to open: it was not converted (%2).")
             .arg(PathForDisplay(logged.input), logged.reason));
  } else if (!m_viewer.view(logged.output)) {
    tell(NoProgramFor(logged.output));
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
  if (row < 0 || m_log.file(row).output.isEmpty()) {
    return;
  }
  const QString folder = FolderOf(m_log.file(row).output);
  if (!m_folders.open(folder)) {
    tell(NoProgramFor(folder));
  }
}

void ConversionLogWindow::showDetails() {
  const int row = chosenRow();
  m_details.setText(row >= 0 ? m_log.details(row) : QString());
}

void ConversionLogWindow::tell(const QString& text) {
  m_boxes.showMessage(this, m_title, text, MessageIcon::None);
}

}  // namespace rowvane::app
