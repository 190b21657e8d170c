#pragma once

#include <ostream>

#include "cli/CliOptions.h"
#include "cli/FailureReport.h"

namespace rowvane::cli {

/// --print-schema: writes to `out` a schema that every output of
/// `options.printSchemaOf` ("-": standard input) with these options matches.
/// An input that cannot be read is reported on `err` (SomeFailed).
ExitStatus PrintSchema(const CliOptions& options, std::ostream& out, std::ostream& err);

}  // namespace rowvane::cli
