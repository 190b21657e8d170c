#pragma once

#include <ostream>

namespace rowvane::cli {

/// Flushes `out` (the program's standard output) and closes the descriptor
/// beneath it, so that a full disk, a closed standard output or a file system
/// that reports its errors on close is never taken for success. Gives
/// `status`, or SomeFailed's code after saying why on `err` when the output
/// was lost and `status` said less.
int FinishStandardOutput(std::ostream& out, std::ostream& err, int status);

}  // namespace rowvane::cli
