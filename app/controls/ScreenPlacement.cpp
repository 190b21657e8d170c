#include "app/controls/ScreenPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace rowvane::app {

namespace {

constexpr int kGap = 8;

// `start` moved so that `length` from it stays within [low, high].
int Within(int start, int length, int low, int high) {
  return std::max(low, std::min(start, high - length));
}

}  // namespace

QRect PlaceBeside(const QRect& main, QSize size, const QRect& screen) {
  size = size.boundedTo(screen.size());
  const int right = main.right() + 1 + kGap;
  const int left = main.left() - kGap - size.width();
  int x = right;
  if (right + size.width() > screen.right() + 1) {
    x = left >= screen.left() ? left : screen.right() + 1 - size.width();
  }
  x = Within(x, size.width(), screen.left(), screen.right() + 1);
  const int y = Within(main.top(), size.height(), screen.top(), screen.bottom() + 1);
  return {QPoint(x, y), size};
}

void ShowBeside(QWidget& window, const QWidget& main) {
  const QScreen* screen = main.screen();
  if (screen == nullptr) {
    screen = QGuiApplication::primaryScreen();
  }
  // A window's frame is not known before it is shown: the main window's
  // stands in for it.
  const QSize frame = main.frameGeometry().size() - main.geometry().size();
  const QRect placed =
      PlaceBeside(main.frameGeometry(), window.size() + frame,
                  screen != nullptr ? screen->availableGeometry() : main.frameGeometry());
  window.resize(placed.size() - frame);
  window.move(placed.topLeft());
  window.show();
}

}  // namespace rowvane::app
