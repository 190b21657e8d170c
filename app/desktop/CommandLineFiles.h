#pragma once

#include <QStringList>
#include <QWidget>
#include <functional>

#include "app/desktop/SingleInstance.h"

namespace rowvane::app {

/// Adds paths to the window's list by the rules of a drop.
using AddAsDropped = std::function<void(const QStringList& paths)>;

/// Gives the window the files its command line named and, later, those other
/// starts hand over through `instance` (none when this window works alone),
/// each time once its event loop runs, as if they were dropped on it. A
/// hand-over also brings the window to the front.
void AcceptCommandLineFiles(const QStringList& startFiles, SingleInstance* instance,
                            QWidget& window, AddAsDropped addAsDropped);

}  // namespace rowvane::app
