#include "cli/SchemaPrinting.h"

#include <unistd.h>

#include "cli/DisplayEscape.h"
#include "cli/OutputFileConversion.h"
#include "cli/UnnamedTemporaryFile.h"
#include "engine/ElementLayoutSchema.h"
#include "engine/FieldNames.h"
#include "engine/InputFile.h"

namespace rowvane::cli {
namespace {

std::vector<std::string> FieldNamesOfInput(const std::string& path,
                                           const ConversionSettings& settings) {
  if (path != kStandardStream) {
    InputFile input(path);
    return FieldNamesOf(input, settings);
  }
  // Kept, since detecting the encoding may read the text a second time.
  UnnamedTemporaryFile spool;
  spool.fillFrom(STDIN_FILENO);
  spool.rewind();
  return FieldNamesOf(spool, settings);
}

}  // namespace

ExitStatus PrintSchema(const CliOptions& options, std::ostream& out, std::ostream& err) {
  const std::string& input = *options.printSchemaOf;
  const std::string shownInput =
      EscapeForDisplay(input == kStandardStream ? kStandardInputName : input);
  try {
    out << ElementLayoutSchema(FieldNamesOfInput(input, options.settings), options.settings);
    out.flush();
    return ExitStatus::AllConverted;
  } catch (const InputMissing&) {
    err << "rowvane-cli: " << shownInput << ": input file not found\n";
  } catch (const ConversionError& error) {
    err << "rowvane-cli: " << shownInput
        << ": cannot read the input: " << EscapeForDisplay(error.what()) << '\n';
  }
  return ExitStatus::SomeFailed;
}

}  // namespace rowvane::cli
