#include "app/desktop/DialogLook.h"

#include <QDialog>
#include <QFont>

namespace rowvane::app {

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

}  // namespace rowvane::app
