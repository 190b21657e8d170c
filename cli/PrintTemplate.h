#pragma once

#include "cli/BatchSummary.h"
#include "cli/CliApplication.h"
#include "cli/CliOptions.h"

namespace rowvane::cli {

/// --print-template: writes to standard output the template whose output is
/// the escaped element layout of the one input under `options`. A missing or
/// unreadable input is reported like a failed conversion.
ExitStatus PrintTemplate(const CliOptions& options, const CliEnvironment& environment);

}  // namespace rowvane::cli
