#pragma once

#include <QAction>
#include <QMenu>
#include <QString>

namespace rowvane::app {

/// The "Help" menu: "About Rowvane" shows the version, the licence and the
/// home page in a box over the menu's parent window.
class HelpMenu : public QMenu {
  Q_OBJECT

 public:
  explicit HelpMenu(QWidget* parent = nullptr);

  /// The text of the about box (rich text, with the home page as a link).
  static QString aboutText();

  QAction About{this};

 private:
  void showAbout();
};

}  // namespace rowvane::app
