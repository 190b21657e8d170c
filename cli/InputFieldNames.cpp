#include "cli/InputFieldNames.h"

#include <unistd.h>

#include "cli/CliOptions.h"
#include "cli/UnnamedTemporaryFile.h"
#include "engine/Files.h"
#include "engine/Layouts.h"

namespace rowvane::cli {

std::vector<std::string> ReadInputFieldNames(const std::string& input,
                                             const ConversionSettings& settings) {
  if (input != kStandardStream) {
    InputFile file(input);
    return ReadFieldNames(file, settings);
  }
  UnnamedTemporaryFile spool;
  spool.fillFrom(STDIN_FILENO);
  spool.rewind();
  return ReadFieldNames(spool, settings);
}

InputFields ReadInputTypedFields(const std::string& input, const ConversionSettings& settings) {
  if (input != kStandardStream) {
    InputFile file(input);
    return ReadTypedFields(file, settings);
  }
  UnnamedTemporaryFile spool;
  spool.fillFrom(STDIN_FILENO);
  spool.rewind();
  return ReadTypedFields(spool, settings);
}

}  // namespace rowvane::cli
