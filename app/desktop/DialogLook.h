#pragma once

#include <QString>

class QDialog;
class QWidget;

namespace rowvane::app {

/// The family of every text the program shows: the window's body, its menu
/// bar and menus, its dialogs and message boxes.
inline QString WindowFontFamily() {
  return QStringLiteral("Arial");
}

/// Puts `widget` (a menu, a dialog, the menu bar) in the window's family,
/// keeping its own size and weight.
void UseWindowFontFamily(QWidget& widget);

/// What every dialog of the program shares: the window's font family, and
/// for screen readers its title as its name and `description`.
void GiveDialogLook(QDialog& dialog, const QString& description);

}  // namespace rowvane::app
