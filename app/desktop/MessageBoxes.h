#pragma once

#include <QString>

class QWidget;

namespace rowvane::app {

/// Icon of a message box.
enum class MessageIcon { None, Warning };

/// The modal message boxes the window shows. Line breaks in a text may be
/// CR LF, a bare CR or a bare LF; each shows as one line break.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;

  /// Shows `text` with the OK button only and returns once the box is closed.
  virtual void showMessage(QWidget* owner, const QString& title, const QString& text,
                           MessageIcon icon) = 0;

  /// Asks a question with the buttons Yes and No and no icon; true on Yes.
  virtual bool askYesNo(QWidget* owner, const QString& title, const QString& text) = 0;

  /// Shows `text` with a warning, the OK button and a button captioned
  /// `action`; true when the user chose `action`.
  virtual bool offerAction(QWidget* owner, const QString& title, const QString& text,
                           const QString& action) = 0;
};

/// The message boxes of the desktop, modal to the whole program.
class QtMessageBoxes : public MessageBoxes {
 public:
  void showMessage(QWidget* owner, const QString& title, const QString& text,
                   MessageIcon icon) override;
  bool askYesNo(QWidget* owner, const QString& title, const QString& text) override;
  bool offerAction(QWidget* owner, const QString& title, const QString& text,
                   const QString& action) override;
};

/// `text` with every CR LF and every bare CR turned into LF, the only break a
/// plain-text label shows.
QString WithDisplayLineBreaks(const QString& text);

}  // namespace rowvane::app
