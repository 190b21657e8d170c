#pragma once

#include <QMessageBox>

namespace rowvane::app {

/// A message box that shows its whole title and its whole text. Qt sizes a
/// box by rules of its own that keep a short box narrow and cut a plain text
/// it does not wrap; this one, once shown, gives its text the width it needs,
/// wrapped at about 60% of the screen's available width at most (wider only
/// for a word that cannot be broken), and never less than the title needs.
class FittedMessageBox : public QMessageBox {
  Q_OBJECT

 public:
  using QMessageBox::QMessageBox;

  /// The widest the text runs before it wraps: this share of the width that
  /// the screen holding `box` has available.
  static constexpr double kWrapShare = 0.6;

 protected:
  void showEvent(QShowEvent* event) override;
};

/// The label a message box shows its text in, or null.
QLabel* MessageLabelOf(const QMessageBox& box);

/// The width a window title needs in the title bar: its text and room for
/// the bar's buttons and margins.
int TitleBarWidth(const QWidget& window);

}  // namespace rowvane::app
