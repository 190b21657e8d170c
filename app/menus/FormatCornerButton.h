#pragma once

#include <QToolButton>

#include "engine/Settings.h"

class QMenu;

namespace rowvane::app {

/// The flat button at the right end of the menu bar: it says in words what
/// is in force and opens `menu` (the Format menu) below itself when pressed.
/// It takes no focus, so the window's tab order stays as it is; the keyboard
/// reaches the same menu by its access key.
class FormatCornerButton : public QToolButton {
  Q_OBJECT

 public:
  explicit FormatCornerButton(QMenu& menu, QWidget* parent = nullptr);

  /// Shows the choice in words (see FormatInWords).
  void showFormat(const rowvane::CsvFormat& format,
                  rowvane::OutputLayout layout = rowvane::OutputLayout::Elements,
                  const QString& templatePath = {}, const QString& schemaPath = {});

  /// Within the maximum size, so that a bar that sizes itself by its corner
  /// widget's hint keeps the height it has without it.
  QSize sizeHint() const override { return QToolButton::sizeHint().boundedTo(maximumSize()); }

 private:
  void openMenu();

  QMenu& m_menu;
};

}  // namespace rowvane::app
