#pragma once

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

#include "engine/xml/LayoutTemplate.h"

namespace rowvane {

/// Where the byte at an offset of a text stands in the template file.
using TextPositions = std::function<TemplatePosition(std::size_t offset)>;

/// The field named between a placeholder's brackets (`open` and `close`,
/// `{` and `}` or `[` and `]`): `#N` is field N (from 1), and anything else
/// names a field by its header. Throws TemplateError for `#0`.
FieldReference ReadFieldReference(std::string_view inside, TemplatePosition at, char open,
                                  char close);

/// Reads the placeholders of `text` (an attribute value or text, references
/// already resolved), left to right: `{{` is `{`, `}}` is `}`, a lone `}` is
/// itself, `{#N}` is field N (from 1), and any other `{...}` up to the next
/// `}` names a field. Appends the fields named to `fields`.
/// With `expressions`, `{=` starts an expression that ends at the first `}`
/// outside its string literals, compiled into `expressions` (its segment
/// holds the index); without, `{=...}` names a field as any other.
/// Throws TemplateError for a `{` without a later `}`, for `{#0}` and for an
/// expression that does not compile.
TemplateText ReadPlaceholders(std::string_view text, const TextPositions& positions,
                              std::vector<FieldReference>& fields,
                              TemplateExpressions* expressions = nullptr);

}  // namespace rowvane
