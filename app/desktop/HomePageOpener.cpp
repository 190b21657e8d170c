#include "app/desktop/HomePageOpener.h"

#include <QDesktopServices>
#include <stdexcept>

namespace rowvane::app {

void DesktopHomePageOpener::open(const QUrl& address) {
  if (!QDesktopServices::openUrl(address)) {
    throw std::runtime_error("The web browser could not be started for " +
                             address.toString().toStdString());
  }
}

}  // namespace rowvane::app
