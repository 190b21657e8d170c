#include "cli/TemplateFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "cli/DisplayEscape.h"
#include "engine/Layouts.h"

namespace rowvane::cli {

std::variant<TemplateFile, TemplateFileProblem> LoadTemplateFile(const std::string& path,
                                                                 bool withSchema) {
  const std::string shown = EscapeForDisplay(path);
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    return TemplateFileProblem{shown + ": cannot read the template: " + std::strerror(errno)};
  }
  // One byte past the limit is enough to tell that the file is too large.
  std::string bytes(kTemplateMaxBytes + 1, '\0');
  file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (file.bad()) {
    return TemplateFileProblem{shown + ": cannot read the template: " + std::strerror(errno)};
  }
  bytes.resize(static_cast<std::size_t>(file.gcount()));
  try {
    const TemplateTree tree = ParseTemplate(bytes);
    // A template that cannot be written is reported as such before its schema is made.
    TemplateFile loaded{std::make_shared<const LayoutTemplate>(CompileTemplate(tree)), {}};
    if (withSchema) {
      loaded.schema = TemplateSchema(tree);
    }
    return loaded;
  } catch (const TemplateError& error) {
    return TemplateFileProblem{shown + ":" + EscapeForDisplay(error.what())};
  }
}

}  // namespace rowvane::cli
