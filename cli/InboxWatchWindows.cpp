#include "cli/InboxWatch.h"

namespace rowvane::cli {

std::optional<std::string> UnwatchableFileSystem(long /*type*/) {
  return std::nullopt;
}

// Watching an inbox needs the readiness rules built on Windows' own change
// notices and sharing modes; until then the option says so plainly.
ExitStatus WatchInbox(const CliOptions& /*options*/, const CliEnvironment& environment,
                      std::ostream& /*reportErr*/) {
  environment.err << "rowvane-cli: --watch is not available on Windows yet; run the "
                     "conversion from Task Scheduler instead (see the README)\n";
  return ExitStatus::BadUsage;
}

}  // namespace rowvane::cli
