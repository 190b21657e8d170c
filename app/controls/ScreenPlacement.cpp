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

QRect PlaceBeside(const QRect& main, QSize size, const QRect& screen, int minimumWidth) {
  size = size.boundedTo(screen.size());
  const int right = main.right() + 1 + kGap;
  const int rightRoom = screen.right() + 1 - std::max(right, screen.left());
  const int leftRoom = main.left() - kGap - screen.left();
  const int wider = std::max(rightRoom, leftRoom);
  if (size.width() > rightRoom && size.width() > leftRoom && wider >= minimumWidth) {
    size.setWidth(wider);
  }
  int x = screen.right() + 1 - size.width();
  if (size.width() <= rightRoom) {
    x = std::max(right, screen.left());
  } else if (size.width() <= leftRoom) {
    x = main.left() - kGap - size.width();
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
  // Narrowed beside the main window rather than over it, down to this.
  const int minimumWidth = std::max(window.minimumSizeHint().width(), 420) + frame.width();
  const QRect placed = PlaceBeside(
      main.frameGeometry(), window.size() + frame,
      screen != nullptr ? screen->availableGeometry() : main.frameGeometry(), minimumWidth);
  window.resize(placed.size() - frame);
  window.move(placed.topLeft());
  window.show();
}

}  // namespace rowvane::app
