#include "app/handlers/HandlerContext.h"

#include "app/desktop/EventPump.h"
#include "app/desktop/MessageBoxes.h"
#include "app/desktop/WindowServices.h"
#include "app/handlers/ErrorTrap.h"

namespace rowvane::app {

void HandlerContext::showMessage(const QString& text) const {
  services.messageBoxes.showMessage(owner, applicationTitle, text, MessageIcon::None);
}

void HandlerContext::letEventsRunOrLeave() const {
  if (!pump.letPendingEventsRun()) {
    throw LeaveHandler{};
  }
}

rowvane::LetEventsRun HandlerContext::eventsRunOrLeave() const {
  return [this] { letEventsRunOrLeave(); };
}

}  // namespace rowvane::app
