#pragma once

#include <QColor>
#include <QFont>

class QLineEdit;
class QWidget;

namespace rowvane::app {

/// The window's family in bold at `points`.
QFont ArialBold(double points);

/// Fills the widget's own background (a check box paints with its button role).
void PaintBackground(QWidget& widget, const QColor& colour);

/// Fills the area a text box types in.
void PaintTextBackground(QLineEdit& box, const QColor& colour);

/// The system's button-face colour, which follows the user's colour scheme.
QColor SkinColour();

}  // namespace rowvane::app
