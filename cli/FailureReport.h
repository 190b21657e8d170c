#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/Conversion.h"

namespace rowvane::cli {

/// Exit status of rowvane-cli.
enum class ExitStatus : int {
  AllConverted = 0,  ///< every input converted without any failure
  SomeFailed = 1,    ///< an input was missing, failed, or had a naming failure
  BadUsage = 2,      ///< the arguments or the output folder cannot be used
  Incomplete = 3,    ///< --merge-reports: a share or a report is missing or unfinished
};

/// One line per problem of one input, each naming the input and the reason,
/// without a line break; none when the input converted cleanly. Names and
/// messages are shown through EscapeForDisplay, so no line break or terminal
/// control of theirs gets through. Warnings about a converted input's text
/// come last; they are not failures. A missing
/// input is a problem here. A name without a dot is reported even though its
/// output was written (as the whole name plus ".xml"). Ill-formed UTF-8 that
/// was replaced gives a warning line, which is not a failure.
std::vector<std::string> DescribeProblems(std::string_view input, const FileOutcome& outcome);

/// The reason of one failure, as the problem lines word it, without the input.
std::string ReasonOf(const Failure& failure, const FileOutcome& outcome);

/// True when the input's output was written and nothing went wrong.
bool ConvertedCleanly(const FileOutcome& outcome);

/// AllConverted when every outcome converted cleanly, else SomeFailed.
ExitStatus ExitStatusOf(const std::vector<FileOutcome>& outcomes);

}  // namespace rowvane::cli
