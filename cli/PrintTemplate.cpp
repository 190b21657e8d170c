#include "cli/PrintTemplate.h"

#include <memory>

#include "cli/DisplayEscape.h"
#include "cli/FailureReport.h"
#include "cli/InputFieldNames.h"
#include "cli/OutputFileConversion.h"
#include "engine/Conversion.h"
#include "engine/Layouts.h"

namespace rowvane::cli {

ExitStatus PrintTemplate(const CliOptions& options, const CliEnvironment& environment) {
  const std::string& input = options.inputs.front();
  FileOutcome outcome;
  std::vector<std::string> names;
  try {
    names = ReadInputFieldNames(input, options.settings);
  } catch (const std::exception&) {
    RecordFailureBeingHandled(outcome);
    for (const std::string& line :
         DescribeProblems(input == kStandardStream ? kStandardInputName : input, outcome)) {
      environment.err << line << '\n';
    }
    return ExitStatus::SomeFailed;
  }
  environment.out << ElementLayoutTemplate(names, options.settings);
  environment.out.flush();
  return ExitStatus::AllConverted;
}

}  // namespace rowvane::cli
