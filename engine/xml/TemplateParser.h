#pragma once

#include <string_view>

#include "engine/xml/TemplateTree.h"

namespace rowvane {

/// The largest template file, and its deepest nesting of elements.
inline constexpr std::size_t kTemplateMaxBytes = std::size_t{1} << 20;
/// What a template beyond kTemplateMaxBytes is told, at its line 1, column 1.
inline constexpr const char* kTemplateTooLarge = "the template is larger than 1 MiB";
inline constexpr int kTemplateMaxDepth = 256;

/// Parses a template file: well-formed XML 1.0 with namespaces, in the
/// encoding its declaration or byte-order mark names. A DOCTYPE is refused as
/// soon as it is seen, so no entity is ever declared and nothing outside the
/// bytes is read. Reads the directives off the elements (attributes in
/// kLayoutNamespace) and the placeholders out of attribute values, text and
/// CDATA sections. Throws TemplateError at the first problem.
/// `parameters` are what param(NAME) gives in its expressions.
TemplateTree ParseTemplate(std::string_view bytes, TemplateParameters parameters = {});

}  // namespace rowvane
