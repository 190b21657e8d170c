#include "cli/FailureReport.h"

#include <algorithm>

namespace rowvane::cli {
namespace {

std::string WithDetail(std::string reason, const std::string& detail) {
  if (!detail.empty()) {
    reason += ": " + detail;
  }
  return reason;
}

std::string ReasonFor(const Failure& failure, const FileOutcome& outcome) {
  switch (failure.kind) {
    case FailureKind::Read:
      return WithDetail("cannot read the input", failure.message);
    case FailureKind::Name:
      return "the name has no dot; output named " + outcome.outputPath;
    case FailureKind::Write:
      return WithDetail("cannot write " + outcome.outputPath, failure.message);
    case FailureKind::OutOfMemory:
      // The engine's message says what the memory was wanted for.
      return failure.message.empty() ? "not enough memory" : failure.message;
  }
  return WithDetail("not converted", failure.message);
}

std::string LineFor(std::string_view input, const std::string& reason) {
  return "rowvane-cli: " + std::string(input) + ": " + reason;
}

}  // namespace

std::vector<std::string> DescribeProblems(std::string_view input, const FileOutcome& outcome) {
  std::vector<std::string> lines;
  if (outcome.status == FileOutcome::Status::Missing) {
    lines.push_back(LineFor(input, "input file not found"));
    return lines;
  }
  for (const Failure& failure : outcome.failures) {
    lines.push_back(LineFor(input, ReasonFor(failure, outcome)));
  }
  for (const std::string& note : outcome.notes) {
    lines.push_back(LineFor(input, "written to " + outcome.outputPath + ", but " + note));
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
