#include "app/handlers/HandlerContext.h"

#include "app/desktop/EventPump.h"
#include "app/desktop/MessageBoxes.h"
#include "app/desktop/WindowServices.h"

namespace rowvane::app {

void HandlerContext::showMessage(const QString& text) const {
  services.messageBoxes.showMessage(owner, applicationTitle, text, MessageIcon::None);
}

bool HandlerContext::offerAction(const QString& text, const QString& action) const {
  return services.messageBoxes.offerAction(owner, applicationTitle, text, action);
}

bool HandlerContext::letEventsRun() const {
  return pump.letPendingEventsRun();
}

rowvane::LetEventsRun HandlerContext::eventsRun() const {
  return [this] {
    return letEventsRun() ? rowvane::WalkAnswer::Continue : rowvane::WalkAnswer::Leave;
  };
}

}  // namespace rowvane::app
