#include "app/desktop/DialogLook.h"

#include <QDialog>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>

namespace rowvane::app {

namespace {

// Room for the title bar's buttons and margins around the title.
constexpr int kTitleBarExtra = 150;

}  // namespace

void UseWindowFontFamily(QWidget& widget) {
  QFont font = widget.font();
  font.setFamily(WindowFontFamily());
  widget.setFont(font);
}

void GiveDialogLook(QDialog& dialog, const QString& description) {
  UseWindowFontFamily(dialog);
  dialog.setAccessibleName(dialog.windowTitle());
  dialog.setAccessibleDescription(description);
}

void MakeRoomForTitle(QMessageBox& box) {
  // The label's name is Qt's own, the one handle it offers on the label.
  auto* const label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  if (label == nullptr) {
    return;
  }
  const int titleWidth = QFontMetrics(box.font()).horizontalAdvance(box.windowTitle());
  label->setMinimumWidth(titleWidth + kTitleBarExtra);
}

}  // namespace rowvane::app
