#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "cli/CliApplication.h"
#include "cli/CliOptions.h"
#include "cli/FailureReport.h"

namespace rowvane::cli {

/// The name of a file system whose changes the kernel's events do not show
/// (network and user-space file systems), by its statfs type; nothing for
/// one that can be watched.
std::optional<std::string> UnwatchableFileSystem(long type);

/// --watch: converts the CSV files already in the inbox and then each one
/// dropped into it once it is ready, moving it to --done or --failed, until
/// SIGINT or SIGTERM (which end the process with status 0; see
/// StopNormallyOnInterrupt). Returns only when it cannot go on: BadUsage when
/// the inbox or a folder cannot be used, SomeFailed when the inbox is gone
/// or no more folders can be watched.
ExitStatus WatchInbox(const CliOptions& options, const CliEnvironment& environment,
                      std::ostream& reportErr);

}  // namespace rowvane::cli
