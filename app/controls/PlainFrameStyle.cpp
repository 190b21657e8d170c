#include "app/controls/PlainFrameStyle.h"

#include <QGroupBox>
#include <QPainter>
#include <QStyleOption>
#include <algorithm>

namespace rowvane::app {

namespace {

// The gap the style leaves above its panel, below the title line if any.
constexpr int kPanelTopGap = 3;
// Keeps the style's rounded border and its shading untouched.
constexpr int kBorderInset = 2;

}  // namespace

void PlainFrameStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                    QPainter* painter, const QWidget* widget) const {
  QProxyStyle::drawPrimitive(element, option, painter, widget);
  if (element != PE_FrameGroupBox) {
    return;
  }
  const auto* frame = qobject_cast<const QGroupBox*>(widget);
  const bool titled = frame != nullptr && !frame->title().isEmpty();
  const int titleLine = titled ? std::max(pixelMetric(PM_ExclusiveIndicatorHeight, option, widget),
                                          option->fontMetrics.height())
                               : 0;
  const int top = titleLine + kPanelTopGap;
  const QRect panel =
      option->rect.adjusted(kBorderInset, top + kBorderInset, -kBorderInset, -kBorderInset);
  painter->fillRect(panel, option->palette.color(QPalette::Window));
}

}  // namespace rowvane::app
