#pragma once

namespace rowvane::cli {

/// Ends the program the way a filter ends when its reader goes away: by
/// SIGPIPE, without a message, even when the signal was ignored or blocked
/// (the write then failed with EPIPE instead of ending the program).
[[noreturn]] void EndAsClosedPipe();

}  // namespace rowvane::cli
