#include "cli/StandardOutput.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "cli/ClosedPipe.h"
#include "cli/FailureReport.h"

namespace rowvane::cli {
namespace {

int Lost(std::ostream& err, int error, int status) {
  if (error == EPIPE) {
    EndAsClosedPipe();  // its reader went away, as a filter's does
  }
  err << "rowvane-cli: standard output: cannot write: "
      << (error == 0 ? "write error" : std::strerror(error)) << '\n';
  err.flush();
  return std::max(status, static_cast<int>(ExitStatus::SomeFailed));
}

}  // namespace

int FinishStandardOutput(std::ostream& out, std::ostream& err, int status) {
  errno = 0;
  out.flush();
  if (!out) {
    return Lost(err, errno, status);
  }
  // Nothing is written after this; a descriptor closed from the start has
  // nothing to lose.
  if (::close(STDOUT_FILENO) != 0 && errno != EBADF && errno != EINTR) {
    return Lost(err, errno, status);
  }
  return status;
}

}  // namespace rowvane::cli
