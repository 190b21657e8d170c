#pragma once

#include <QProxyStyle>

namespace rowvane::app {

/// The application's style, except that a frame's panel shows the frame's own
/// background (white, or the skin's colour) instead of the style's shaded
/// fill; the border stays the style's. Set on each frame; it must outlive
/// them.
class PlainFrameStyle : public QProxyStyle {
 public:
  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
};

}  // namespace rowvane::app
