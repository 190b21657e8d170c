#pragma once

#include <string_view>

#include "engine/xml/LayoutTemplate.h"
#include "engine/xml/TemplateTree.h"

namespace rowvane {

/// Loads a template file's bytes (at most 1 MiB): parses it, checks its
/// directives and placeholders, and makes it ready to write; `parameters`
/// are what param(NAME) gives. Throws TemplateError with the line and column
/// of the first problem.
LayoutTemplate LoadLayoutTemplate(std::string_view bytes, TemplateParameters parameters = {});

}  // namespace rowvane
