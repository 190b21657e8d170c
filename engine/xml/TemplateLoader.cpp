#include "engine/xml/TemplateLoader.h"

#include "engine/xml/TemplateCompiler.h"
#include "engine/xml/TemplateParser.h"

namespace rowvane {

LayoutTemplate LoadLayoutTemplate(std::string_view bytes) {
  return CompileTemplate(ParseTemplate(bytes));
}

}  // namespace rowvane
