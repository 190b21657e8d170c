#include "app/window/WindowPointer.h"

#include <QLineEdit>
#include <QWidget>

namespace rowvane::app {

void WindowPointer::set(int value) {
  m_value = value;
  // Text boxes carry a pointer of their own, so they are set one by one;
  // every other control shows the window's.
  const auto textBoxes = m_window.findChildren<QLineEdit*>();
  if (value == kDefault) {
    m_window.unsetCursor();
    for (QLineEdit* box : textBoxes) {
      box->setCursor(Qt::IBeamCursor);
    }
    return;
  }
  const QCursor cursor = cursorFor(value);
  m_window.setCursor(cursor);
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
