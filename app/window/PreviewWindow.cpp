#include "app/window/PreviewWindow.h"

#include <QFontDatabase>
#include <QHideEvent>

#include "app/controls/ScreenPlacement.h"
#include "app/desktop/DialogLook.h"
#include "app/desktop/LocalPath.h"
#include "engine/Files.h"

namespace rowvane::app {

namespace {

constexpr int kSettleMilliseconds = 200;

}  // namespace

PreviewWindow::PreviewWindow(std::function<PreviewRequest()> currentRequest, QWidget* parent)
    : QWidget(parent, Qt::Window), m_currentRequest(std::move(currentRequest)) {
  setObjectName(QStringLiteral("PreviewWindow"));
  setWindowTitle(QStringLiteral("Preview"));
  setAccessibleName(QStringLiteral("Preview"));
  setAccessibleDescription(QStringLiteral(
      "The XML that the selected file, else the first, gives with the options in force."));
  UseWindowFontFamily(*this);
  layOut();
  m_settle.setSingleShot(true);
  m_settle.setInterval(kSettleMilliseconds);
  connect(&m_settle, &QTimer::timeout, this, &PreviewWindow::requestNow);
  connect(&m_worker, &PreviewWorker::previewReady, this, &PreviewWindow::showPreview);
  connect(&m_escape, &QShortcut::activated, this, &QWidget::close);
}

void PreviewWindow::layOut() {
  m_info.setObjectName(QStringLiteral("PreviewInfo"));
  m_info.setWordWrap(true);
  m_info.setTextFormat(Qt::PlainText);
  m_info.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  m_info.setAccessibleName(QStringLiteral("About the file"));
  m_info.setAccessibleDescription(QStringLiteral(
      "The file, its encoding, its line breaks, the records shown and any warning."));
  m_text.setObjectName(QStringLiteral("PreviewText"));
  m_text.setReadOnly(true);
  m_text.setLineWrapMode(QPlainTextEdit::NoWrap);
  m_text.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  m_text.setAccessibleName(QStringLiteral("XML"));
  m_text.setAccessibleDescription(QStringLiteral("The XML of the first records, read-only."));
  m_layout.addWidget(&m_info);
  m_layout.addWidget(&m_text, 1);
  resize(640, 560);
}

void PreviewWindow::present() {
  if (!isVisible() && parentWidget() != nullptr) {
    ShowBeside(*this, *parentWidget()->window());
  }
  show();
  raise();
  activateWindow();
  requestNow();
}

void PreviewWindow::inputsChanged() {
  if (isVisible()) {
    m_settle.start();  // again from the start: only a pause in the changes counts
  }
}

void PreviewWindow::requestNow() {
  m_settle.stop();
  PreviewRequest request = m_currentRequest();
  setWindowTitle(request.path.isEmpty() ? QStringLiteral("Preview")
                                        : QStringLiteral("Preview: ") +
                                              PathForDisplay(PathFromBytes(
                                                  rowvane::FileNameOf(PathBytes(request.path)))));
  m_worker.request(std::move(request));
}

void PreviewWindow::showPreview(const Preview& preview) {
  m_info.setText(preview.info);
  // A problem reads as prose; XML keeps its lines as they are.
  m_text.setLineWrapMode(preview.problem ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  m_text.setPlainText(preview.xml);
}

void PreviewWindow::hideEvent(QHideEvent* event) {
  m_settle.stop();
  m_worker.cancel();
  QWidget::hideEvent(event);
}

}  // namespace rowvane::app
