#include "app/desktop/EventPump.h"

#include <QCoreApplication>

namespace rowvane::app {

bool EventPump::letPendingEventsRun() {
  if (!m_closed) {
    QCoreApplication::processEvents();
  }
  return !m_closed;
}

}  // namespace rowvane::app
