#include "cli/FailureReport.h"

#include <algorithm>

#include "cli/DisplayEscape.h"

namespace rowvane::cli {
namespace {

std::string WithDetail(std::string reason, const std::string& detail) {
  if (!detail.empty()) {
    reason += ": " + EscapeForDisplay(detail);
  }
  return reason;
}

std::string ReasonFor(const Failure& failure, const FileOutcome& outcome) {
  switch (failure.kind) {
    case FailureKind::Read:
      return WithDetail("cannot read the input", failure.message);
    case FailureKind::Name:
      return "the name has no dot; output named " + EscapeForDisplay(outcome.outputPath);
    case FailureKind::Write:
      return WithDetail("cannot write " + EscapeForDisplay(outcome.outputPath), failure.message);
    case FailureKind::Schema:
      // The engine's message names the schema, the output line and the problem.
      return "output does not match " + EscapeForDisplay(failure.message);
    case FailureKind::OutOfMemory:
      // The engine's message says what the memory was wanted for.
      return failure.message.empty() ? "not enough memory" : failure.message;
    case FailureKind::Layout:
      // The engine's message names the missing field and lists those there are.
      return EscapeForDisplay(failure.message);
    case FailureKind::Value:
      // The engine's message names the template's place, the field and the value.
      return EscapeForDisplay(failure.message);
  }
  return WithDetail("not converted", failure.message);
}

std::string LineFor(std::string_view input, const std::string& reason) {
  return "rowvane-cli: " + EscapeForDisplay(input) + ": " + reason;
}

// A value failure names the input's line as a compiler names a source line.
std::string LineFor(std::string_view input, const Failure& failure, const std::string& reason) {
  if (failure.place.line == 0) {
    return LineFor(input, reason);
  }
  return "rowvane-cli: " + EscapeForDisplay(input) + ":" + std::to_string(failure.place.line) +
         ": " + reason;
}

// What the conversion noticed; the output is written all the same.
std::vector<std::string> WarningsOf(const ConversionWarnings& warnings) {
  std::vector<std::string> lines;
  if (warnings.lineFeedsWithoutCrLf) {
    lines.emplace_back(
        "no CR LF line break, so the whole file is one line; --format standard reads LF line "
        "breaks");
  }
  if (warnings.unterminatedQuoteLine) {
    lines.push_back("unterminated quoted field from line " +
                    std::to_string(*warnings.unterminatedQuoteLine));
  }
  if (warnings.replacedCharacters > 0) {
    lines.push_back(std::to_string(warnings.replacedCharacters) +
                    (warnings.replacedCharacters == 1 ? " character" : " characters") +
                    " that XML does not allow written as U+FFFD");
  }
  return lines;
}

}  // namespace

std::string ReasonOf(const Failure& failure, const FileOutcome& outcome) {
  return ReasonFor(failure, outcome);
}

std::vector<std::string> DescribeProblems(std::string_view input, const FileOutcome& outcome) {
  std::vector<std::string> lines;
  if (outcome.status == FileOutcome::Status::Missing) {
    lines.push_back(LineFor(input, "input file not found"));
    return lines;
  }
  for (const Failure& failure : outcome.failures) {
    lines.push_back(LineFor(input, failure, ReasonFor(failure, outcome)));
  }
  for (const std::string& note : outcome.notes) {
    lines.push_back(LineFor(input, "written to " + EscapeForDisplay(outcome.outputPath) + ", but " +
                                       EscapeForDisplay(note)));
  }
  if (outcome.status == FileOutcome::Status::Converted) {
    for (const std::string& warning : WarningsOf(outcome.warnings)) {
      lines.push_back(LineFor(input, warning));
    }
    if (const std::uint64_t replaced = outcome.warnings.utf8Replacements; replaced > 0) {
      lines.push_back(LineFor(input, "warning: " + std::to_string(replaced) +
                                         " ill-formed UTF-8 sequence" + (replaced == 1 ? "" : "s") +
                                         " written as U+FFFD"));
    }
    if (const std::uint64_t dropped = outcome.warnings.droppedValues; dropped > 0) {
      lines.push_back(LineFor(input, "warning: " + std::to_string(dropped) + " value" +
                                         (dropped == 1 ? "" : "s") +
                                         " past the last named field not written"));
    }
    if (const std::uint64_t replaced = outcome.warnings.utf16Replacements; replaced > 0) {
      lines.push_back(LineFor(input, "warning: " + std::to_string(replaced) +
                                         " ill-formed UTF-16 unit" + (replaced == 1 ? "" : "s") +
                                         " (lone surrogates, an odd last byte) written as U+FFFD"
                                         " or left out"));
    }
  }
  // A failed input always gets a line, even if the engine gave no reason.
  if (lines.empty() && outcome.status != FileOutcome::Status::Converted) {
    lines.push_back(LineFor(input, "not converted"));
  }
  return lines;
}

bool ConvertedCleanly(const FileOutcome& outcome) {
  return outcome.status == FileOutcome::Status::Converted && outcome.failures.empty() &&
         outcome.notes.empty();
}

ExitStatus ExitStatusOf(const std::vector<FileOutcome>& outcomes) {
  return std::all_of(outcomes.begin(), outcomes.end(), ConvertedCleanly) ? ExitStatus::AllConverted
                                                                         : ExitStatus::SomeFailed;
}

}  // namespace rowvane::cli
