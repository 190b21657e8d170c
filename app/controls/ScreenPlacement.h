#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace rowvane::app {

/// Where a window of `size` (its frame included) stands beside `main` (the
/// main window's frame) on `screen` (the part of the screen windows may
/// take): to the right of it when there is room, else to its left; else
/// narrowed to the wider of the two rooms when that leaves it at least
/// `minimumWidth`; else as far right as the screen allows, over the main
/// window. Its top is level with the main window's where the screen allows.
/// It is always wholly on the screen, shrunk to the screen's size when it is
/// larger.
QRect PlaceBeside(const QRect& main, QSize size, const QRect& screen, int minimumWidth);

/// Shows `window` (not yet shown) beside `main`, wholly on the screen that
/// holds `main`, at its own size or smaller.
void ShowBeside(QWidget& window, const QWidget& main);

}  // namespace rowvane::app
