#include "engine/TemplateLoader.h"

#include "engine/TemplateCompiler.h"
#include "engine/TemplateParser.h"

namespace rowvane {

LayoutTemplate LoadLayoutTemplate(std::string_view bytes) {
  return CompileTemplate(ParseTemplate(bytes));
}

}  // namespace rowvane
