#pragma once

#include <QUrl>

namespace rowvane::app {

/// Hands a web address to the user's web browser without waiting for it.
class HomePageOpener {
 public:
  virtual ~HomePageOpener() = default;
  /// Throws std::runtime_error when the address cannot be handed on.
  virtual void open(const QUrl& address) = 0;
};

/// Opens addresses with the desktop's URL handler.
class DesktopHomePageOpener : public HomePageOpener {
 public:
  void open(const QUrl& address) override;
};

}  // namespace rowvane::app
