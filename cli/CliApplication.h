#pragma once

#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>

#include "cli/CliOptions.h"
#include "cli/CommandLine.h"
#include "cli/FailureReport.h"
#include "cli/ProgressDisplay.h"

namespace rowvane::cli {

/// What rowvane-cli gets from its surroundings, so tests can stand in for them.
struct CliEnvironment {
  std::ostream& out;    ///< --help and --version text, and the --dry-run list
  std::ostream& err;    ///< problems, the progress display and the summary
  bool errIsTerminal;   ///< progress and summary are shown on a terminal
  unsigned processors;  ///< jobs when -j is not given (0 counts as 1)
  SteadyClock clock;
  bool outIsTerminal = false;  ///< compressed output is not written to a terminal
  /// The environment's variables, for --shard auto.
  VariableLookup variable = [](const char* name) -> std::optional<std::string> {
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
  };
  /// What the platform does to the inputs first (see InputExpansion).
  InputExpansion expandInputs = {};
};

/// Runs the parsed options; the report, when asked for on standard error, goes to `reportErr`.
int RunOptions(const CliOptions& options, const CliEnvironment& environment,
               std::ostream& reportErr);

/// The whole of rowvane-cli: reads the arguments, checks the output folder,
/// converts the inputs and reports. Returns the exit status as a number.
int RunCli(int argc, const char* const argv[], const CliEnvironment& environment);

/// Checks the output folder (made first with -p), converts the inputs of
/// `options`, and reports
/// each problem on `environment.err`, and with --report - the report on `reportErr`.
ExitStatus ConvertInputs(const CliOptions& options, const CliEnvironment& environment,
                         std::ostream& reportErr);

}  // namespace rowvane::cli
