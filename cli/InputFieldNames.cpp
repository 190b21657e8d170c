#include "cli/InputFieldNames.h"

#include <unistd.h>

#include "cli/CliOptions.h"
#include "cli/UnnamedTemporaryFile.h"
#include "engine/Files.h"
#include "engine/Layouts.h"

namespace rowvane::cli {
namespace {

// `read` over `input` as a re-readable source: the file itself, or standard
// input kept in an unnamed file, since detecting the encoding may read it twice.
template <typename Read>
auto ReadWhole(const std::string& input, Read read) {
  if (input != kStandardStream) {
    InputFile file(input);
    return read(file);
  }
  UnnamedTemporaryFile spool;
  spool.fillFrom(STDIN_FILENO);
  spool.rewind();
  return read(spool);
}

}  // namespace

std::vector<std::string> ReadInputFieldNames(const std::string& input,
                                             const ConversionSettings& settings) {
  return ReadWhole(input, [&](ByteSource& source) { return ReadFieldNames(source, settings); });
}

InputFields ReadInputTypedFields(const std::string& input, const ConversionSettings& settings) {
  return ReadWhole(input, [&](ByteSource& source) { return ReadTypedFields(source, settings); });
}

}  // namespace rowvane::cli
