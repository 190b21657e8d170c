#include "app/controls/FormLook.h"

#include <QApplication>
#include <QLineEdit>
#include <QPalette>
#include <QWidget>

#include "app/desktop/DialogLook.h"

namespace rowvane::app {

QFont ArialBold(double points) {
  QFont font(WindowFontFamily());
  font.setPointSizeF(points);
  font.setBold(true);
  return font;
}

void PaintBackground(QWidget& widget, const QColor& colour) {
  QPalette palette = widget.palette();
  palette.setColor(widget.backgroundRole(), colour);
  widget.setPalette(palette);
  widget.setAutoFillBackground(true);
}

void PaintTextBackground(QLineEdit& box, const QColor& colour) {
  QPalette palette = box.palette();
  palette.setColor(QPalette::Base, colour);
  box.setPalette(palette);
}

QColor SkinColour() {
  return QApplication::palette().color(QPalette::Button);
}

}  // namespace rowvane::app
