#include "cli/PrintTemplate.h"

#include <unistd.h>

#include <memory>

#include "cli/DisplayEscape.h"
#include "cli/FailureReport.h"
#include "cli/OutputFileConversion.h"
#include "cli/UnnamedTemporaryFile.h"
#include "engine/ElementLayoutTemplate.h"
#include "engine/FieldNames.h"
#include "engine/FileConverter.h"
#include "engine/InputFile.h"

namespace rowvane::cli {
namespace {

std::vector<std::string> NamesOf(const std::string& input, const ConversionSettings& settings) {
  if (input != kStandardStream) {
    InputFile file(input);
    return ReadFieldNames(file, settings);
  }
  // Kept in an unnamed file, since detecting the encoding may read it twice.
  UnnamedTemporaryFile spool;
  spool.fillFrom(STDIN_FILENO);
  spool.rewind();
  return ReadFieldNames(spool, settings);
}

}  // namespace

ExitStatus PrintTemplate(const CliOptions& options, const CliEnvironment& environment) {
  const std::string& input = options.inputs.front();
  FileOutcome outcome;
  std::vector<std::string> names;
  try {
    names = NamesOf(input, options.settings);
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
