#pragma once

#include <QProcessEnvironment>
#include <QString>

namespace rowvane::app::testing {

// This process's environment for a started program that never opens the home
// page: with no browser (as offscreen) that would be an error box holding its
// start-up, before it listens for hand-overs and stores its folder.
inline QProcessEnvironment ProgramEnvironment() {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("ROWVANE_NO_HOME_PAGE"), QStringLiteral("1"));
  return environment;
}

}  // namespace rowvane::app::testing
