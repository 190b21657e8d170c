#include <cstdlib>

#include "cli/ClosedPipe.h"

namespace rowvane::cli {

// Windows has no signal for a closed pipe: the program ends with the status
// a POSIX shell gives one that a closed pipe ended (128 + 13).
void EndAsClosedPipe() {
  constexpr int kClosedPipeStatus = 141;
  std::_Exit(kClosedPipeStatus);
}

}  // namespace rowvane::cli
