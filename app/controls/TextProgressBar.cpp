#include "app/controls/TextProgressBar.h"

#include <algorithm>
#include <cmath>

namespace rowvane::app {

namespace {

// The bar counts in hundredths of a percent.
constexpr int kSteps = 10000;
constexpr double kStepsPerPercent = kSteps / 100.0;

}  // namespace

TextProgressBar::TextProgressBar(QWidget* parent) : QProgressBar(parent) {
  setRange(0, kSteps);
  setValue(0);
  setTextVisible(true);
  setAlignment(Qt::AlignCenter);
}

void TextProgressBar::setPercent(double percent) {
  const double held = std::isnan(percent) ? 0.0 : std::clamp(percent, 0.0, 100.0);
  setValue(static_cast<int>(std::lround(held * kStepsPerPercent)));
}

double TextProgressBar::percent() const {
  return value() / kStepsPerPercent;
}

void TextProgressBar::setText(const QString& text) {
  m_text = text;
  update();
}

}  // namespace rowvane::app
