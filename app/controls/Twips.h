#pragma once

#include <QRect>

namespace rowvane::app {

/// The window is designed in twips and laid out at 15 twips per pixel.
inline constexpr int kTwipsPerPixel = 15;

/// Pixels for a measure in twips, rounded to the nearest pixel.
constexpr int PixelsFromTwips(int twips) {
  return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

/// A control's place inside its container, given in twips.
inline QRect RectFromTwips(int left, int top, int width, int height) {
  return {PixelsFromTwips(left), PixelsFromTwips(top), PixelsFromTwips(width),
          PixelsFromTwips(height)};
}

}  // namespace rowvane::app
