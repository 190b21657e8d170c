#include "cli/ClosedPipe.h"

#include <pthread.h>

#include <csignal>
#include <cstdlib>

namespace rowvane::cli {

void EndAsClosedPipe() {
  std::signal(SIGPIPE, SIG_DFL);
  sigset_t pipeOnly;
  sigemptyset(&pipeOnly);
  sigaddset(&pipeOnly, SIGPIPE);
  pthread_sigmask(SIG_UNBLOCK, &pipeOnly, nullptr);
  std::raise(SIGPIPE);
  std::_Exit(128 + SIGPIPE);  // not reached: the signal ends the program
}

}  // namespace rowvane::cli
