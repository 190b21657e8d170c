#pragma once

#include <utility>

namespace rowvane::app {

/// Runs a handler that has no error trap. A failure in it is passed over
/// without a word: it must neither end the program (the user's list would be
/// lost) nor leave a Qt slot as an exception.
template <typename Handler>
void RunUntrapped(Handler&& handler) noexcept {
  try {
    std::forward<Handler>(handler)();
  } catch (...) {
    // Deliberately silent: these handlers report nothing.
  }
}

}  // namespace rowvane::app
