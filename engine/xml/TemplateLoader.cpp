#include "engine/xml/TemplateLoader.h"

#include "engine/xml/TemplateCompiler.h"
#include "engine/xml/TemplateParser.h"

namespace rowvane {

LayoutTemplate LoadLayoutTemplate(std::string_view bytes, TemplateParameters parameters) {
  return CompileTemplate(ParseTemplate(bytes, std::move(parameters)));
}

}  // namespace rowvane
