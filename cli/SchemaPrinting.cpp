#include "cli/SchemaPrinting.h"

#include "cli/DisplayEscape.h"
#include "cli/InputFieldNames.h"
#include "cli/OutputFileConversion.h"
#include "engine/AttributeLayoutSchema.h"
#include "engine/ElementLayoutSchema.h"
#include "engine/InputFile.h"

namespace rowvane::cli {

ExitStatus PrintSchema(const CliOptions& options, std::ostream& out, std::ostream& err) {
  const std::string& input = *options.printSchemaOf;
  const std::string shownInput =
      EscapeForDisplay(input == kStandardStream ? kStandardInputName : input);
  try {
    const std::vector<std::string> names = ReadInputFieldNames(input, options.settings);
    out << (options.settings.Layout == OutputLayout::FieldsAsAttributes
                ? AttributeLayoutSchema(names, options.settings)
                : ElementLayoutSchema(names, options.settings));
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
