#include "app/controls/WindowPointer.h"

#include <QLineEdit>
#include <QWidget>

namespace rowvane::app {

void WindowPointer::set(int value) {
  m_value = value;
  // The pointer covers the whole top-level window, a menu bar included. Text
  // boxes carry a pointer of their own, so they are set one by one; every
  // other control shows the window's.
  QWidget& window = *m_area.window();
  const auto textBoxes = window.findChildren<QLineEdit*>();
  if (value == kDefault) {
    window.unsetCursor();
    for (QLineEdit* box : textBoxes) {
      box->setCursor(Qt::IBeamCursor);
    }
    return;
  }
  const QCursor cursor = cursorFor(value);
  window.setCursor(cursor);
  for (QLineEdit* box : textBoxes) {
    box->setCursor(cursor);
  }
}

void WindowPointer::setCustomCursor(const QCursor& cursor) {
  m_custom = cursor;
  if (m_value == kCustom) {
    set(kCustom);
  }
}

void WindowPointer::hover(int value) {
  if (busy() || value == m_value) {
    return;
  }
  set(value);
}

QCursor WindowPointer::cursorFor(int value) const {
  switch (value) {
    case kHourglass:
      return Qt::WaitCursor;
    case kCustom:
      return m_custom.value_or(QCursor(Qt::PointingHandCursor));
    default:
      return Qt::ArrowCursor;
  }
}

}  // namespace rowvane::app
