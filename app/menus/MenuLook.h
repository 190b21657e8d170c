#pragma once

#include <QString>

class QAction;
class QMenu;

namespace rowvane::app {

/// What every menu of the window shares: the window's font family, and for
/// screen readers its title (without the access key's mark) as its name and
/// `description`.
void GiveMenuLook(QMenu& menu, const QString& description);

/// Gives a menu item its description: the status tip, which Qt also offers
/// as the item's help.
void DescribeAction(QAction& action, const QString& description);

/// `text` without the marks of access keys: "&&" stays as one "&".
QString WithoutAccessKeyMark(const QString& text);

}  // namespace rowvane::app
