#pragma once

#include <functional>

namespace rowvane::app {

class HomePageOpener;

/// A source of uniform random fractions in [0, 1).
using RandomFraction = std::function<double()>;

/// A uniform generator seeded from the clock.
RandomFraction ClockSeededFraction();

/// The fraction start-up draws from: the clock's, or, when `optedOut` (a
/// user, an administrator or a test run that wants no browser started on its
/// own), one whose draw is never the home page's.
RandomFraction StartUpFraction(bool optedOut);

/// The draw for a fraction: its integer part of 100 times, plus 1 (1 to 100).
int HomePageDraw(double fraction);

/// On about one start in a hundred (a draw of 7), opens the maker's home page.
/// Failures of the opener reach the caller.
void OccasionalHomePage(const RandomFraction& randomFraction, HomePageOpener& opener);

}  // namespace rowvane::app
