#include "engine/ProcessSignals.h"

#include <csignal>

namespace rowvane {

void LetOversizedWritesFail() {
#ifdef SIGXFSZ
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

}  // namespace rowvane
