#include "cli/TemplateFile.h"

#include "cli/DisplayEscape.h"
#include "engine/Files.h"
#include "engine/Layouts.h"

namespace rowvane::cli {

std::variant<TemplateFile, TemplateFileProblem> LoadTemplateFile(
    const std::string& path, bool withSchema, const TemplateParameters& parameters) {
  const std::string shown = EscapeForDisplay(path);
  const RegularFileBytes file = ReadRegularFile(path, kTemplateMaxBytes);
  if (file.tooLarge) {
    return TemplateFileProblem{shown + ":1:1: " + kTemplateTooLarge};
  }
  if (file.problem) {
    return TemplateFileProblem{shown + ": cannot read the template: " + *file.problem};
  }
  try {
    const TemplateTree tree = ParseTemplate(file.bytes, parameters);
    // A template that cannot be written is reported as such before its schema is made.
    LayoutTemplate compiled = CompileTemplate(tree);
    compiled.source = shown;
    TemplateFile loaded{std::make_shared<const LayoutTemplate>(std::move(compiled)), {}};
    if (withSchema) {
      loaded.schema = TemplateSchema(tree);
    }
    return loaded;
  } catch (const TemplateError& error) {
    return TemplateFileProblem{shown + ":" + EscapeForDisplay(error.what())};
  }
}

}  // namespace rowvane::cli
