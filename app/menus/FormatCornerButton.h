#pragma once

#include <QString>
#include <QToolButton>

class QMenu;

namespace rowvane::app {

/// The flat button at the right end of the menu bar: it says in words what
/// is in force and opens `menu` (the Format menu) below itself when pressed.
/// Words wider than its maximum text width are cut in the middle; its
/// tooltip holds them whole. It takes no focus, so the window's tab order
/// stays as it is; the keyboard reaches the same menu by its access key.
class FormatCornerButton : public QToolButton {
  Q_OBJECT

 public:
  explicit FormatCornerButton(QMenu& menu, QWidget* parent = nullptr);

  /// Shows `words` (see FormatInWords); the tooltip adds `details`.
  void showFormat(const QString& words, const QString& details = {});

  /// The words in full, as the tooltip gives them.
  QString words() const { return m_words; }

  /// The widest the shown words may be, in pixels.
  void setMaximumTextWidth(int width);
  /// How wide the shown words are, in pixels.
  int textWidth() const;

  /// Within the maximum size, so that a bar that sizes itself by its corner
  /// widget's hint keeps the height it has without it.
  QSize sizeHint() const override { return QToolButton::sizeHint().boundedTo(maximumSize()); }

 private:
  void showWords();
  void openMenu();

  QMenu& m_menu;
  QString m_words;
  int m_maximumTextWidth = QWIDGETSIZE_MAX;
};

}  // namespace rowvane::app
