#include "app/desktop/OccasionalHomePage.h"

#include <QUrl>
#include <chrono>
#include <memory>
#include <random>

#include "app/desktop/HomePageOpener.h"
#include "app/desktop/ProductInfo.h"

namespace rowvane::app {

namespace {

constexpr int kHomePageDraw = 7;

}  // namespace

RandomFraction ClockSeededFraction() {
  const auto seed =
      static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
  auto generator = std::make_shared<std::mt19937_64>(seed);
  return [generator] { return std::uniform_real_distribution<double>(0.0, 1.0)(*generator); };
}

RandomFraction StartUpFraction(bool optedOut) {
  if (optedOut) {
    return [] { return 0.0; };
  }
  return ClockSeededFraction();
}

int HomePageDraw(double fraction) {
  return static_cast<int>(fraction * 100.0) + 1;
}

void OccasionalHomePage(const RandomFraction& randomFraction, HomePageOpener& opener) {
  if (HomePageDraw(randomFraction()) == kHomePageDraw) {
    opener.open(QUrl(QString::fromUtf8(kHomePageAddress)));
  }
}

}  // namespace rowvane::app
