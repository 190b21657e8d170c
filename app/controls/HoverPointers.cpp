#include "app/controls/HoverPointers.h"

#include <QEvent>
#include <QWidget>

namespace rowvane::app {

void HoverPointers::show(const QList<QWidget*>& areas, int pointer, bool stopHere) {
  for (QWidget* area : areas) {
    m_pointers.insert(area, pointer);
    area->setMouseTracking(true);
    area->setAttribute(Qt::WA_NoMousePropagation, stopHere);
    area->installEventFilter(this);
  }
}

void HoverPointers::quiet(const QList<QWidget*>& areas) {
  for (QWidget* area : areas) {
    area->setMouseTracking(true);
    area->setAttribute(Qt::WA_NoMousePropagation);
  }
}

bool HoverPointers::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove) {
    const auto found = m_pointers.constFind(watched);
    if (found != m_pointers.constEnd()) {
      // A hover rule has no error trap: a failure in it is passed over.
      try {
        m_pointer.hover(found.value());
      } catch (...) {
      }
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace rowvane::app
