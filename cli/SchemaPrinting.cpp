#include "cli/SchemaPrinting.h"

#include "cli/DisplayEscape.h"
#include "cli/InputFieldNames.h"
#include "cli/OutputFileConversion.h"
#include "engine/Conversion.h"
#include "engine/Files.h"
#include "engine/Layouts.h"

namespace rowvane::cli {
namespace {

// An input that lacks a field the template names has no output, so it has
// no schema either: found as its conversion finds it. Throws ConversionError.
void CheckTemplateFields(const LayoutTemplate& layout, const std::vector<std::string>& names) {
  MemorySink nowhere;
  XmlWriter buffer(nowhere);
  EscapingOutput escaped(buffer);
  TemplateWriter(layout, escaped).start(names);
}

std::string SchemaFor(const CliOptions& options, const std::string& input) {
  if (options.settings.Layout == OutputLayout::Template) {
    CheckTemplateFields(*options.settings.Template, ReadInputFieldNames(input, options.settings));
    return *options.templateSchema;
  }
  // The types come from every value: the input is read whole (streaming).
  const InputFields fields = options.textTypes
                                 ? InputFields{ReadInputFieldNames(input, options.settings), {}}
                                 : ReadInputTypedFields(input, options.settings);
  const std::vector<FieldValues>* values = options.textTypes ? nullptr : &fields.values;
  if (options.settings.Layout == OutputLayout::FieldsAsAttributes) {
    return AttributeLayoutSchema(fields.names, options.settings, values);
  }
  return ElementLayoutSchema(fields.names, options.settings, values);
}

}  // namespace

ExitStatus PrintSchema(const CliOptions& options, std::ostream& out, std::ostream& err) {
  const std::string& input = *options.printSchemaOf;
  const std::string shownInput =
      EscapeForDisplay(input == kStandardStream ? kStandardInputName : input);
  try {
    out << SchemaFor(options, input);
    out.flush();
    return ExitStatus::AllConverted;
  } catch (const InputMissing&) {
    err << "rowvane-cli: " << shownInput << ": input file not found\n";
  } catch (const ConversionError& error) {
    err << "rowvane-cli: " << shownInput << ": "
        << (error.kind() == FailureKind::Layout ? "" : "cannot read the input: ")
        << EscapeForDisplay(error.what()) << '\n';
  }
  return ExitStatus::SomeFailed;
}

}  // namespace rowvane::cli
