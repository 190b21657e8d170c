#pragma once

#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "cli/CliOptions.h"

namespace rowvane::cli {

/// The arguments asked for a text instead of a conversion (--help, --version).
/// It goes to standard output and the program ends successfully.
struct InfoRequest {
  std::string text;
};

/// The arguments cannot be used; `message` says why, without the program name.
/// `showUsage`: no arguments at all; the short usage (ShortUsage) says more
/// than a message would.
struct UsageError {
  std::string message;
  bool showUsage = false;
};

using ParsedCommandLine = std::variant<CliOptions, InfoRequest, UsageError>;

/// What the platform does to the inputs before they are checked (Windows
/// expands wildcards itself: ExpandWildcardArguments); none leaves them.
using InputExpansion = std::function<std::vector<std::string>(const std::vector<std::string>&)>;

/// Reads the arguments of rowvane-cli (argv[0] is the program and is ignored).
/// Prints nothing and never exits, so it can be driven by tests and fuzzers.
/// A value-taking option always takes the next argument as its value, even an
/// empty one or one that starts with "-" (`-s -`, `-s ""`, `--separator=`).
ParsedCommandLine ParseCommandLine(int argc, const char* const argv[],
                                   const InputExpansion& expandInputs = {});

/// "rowvane-cli", the version, and the revision this build was made from
/// ("unknown" when the build could not tell).
std::string VersionText();

/// The two ways of calling rowvane-cli, one line each.
std::string ShortUsage();

}  // namespace rowvane::cli
