#pragma once

#include "app/desktop/MessageBoxes.h"

namespace rowvane::app {

/// The message boxes of the desktop, modal to the whole program.
class QtMessageBoxes : public MessageBoxes {
 public:
  void showMessage(QWidget* owner, const QString& title, const QString& text,
                   MessageIcon icon) override;
  bool askYesNo(QWidget* owner, const QString& title, const QString& text) override;
};

/// `text` with every CR LF and every bare CR turned into LF, the only break a
/// plain-text label shows.
QString WithDisplayLineBreaks(const QString& text);

}  // namespace rowvane::app
