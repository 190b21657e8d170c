#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "engine/xml/TemplatePlaceholders.h"
#include "engine/xml/expression/ExpressionTree.h"

namespace rowvane {

/// The deepest an expression may nest (operands within operators, calls and
/// parentheses): evaluation recurses that deep.
inline constexpr int kExpressionMaxDepth = 200;

/// Compiles one expression (what stands between `{=` and its `}`) into
/// `program`, appending the fields it names to `fields`; `positions` maps an
/// offset in `text` to the template file. Gives the expression's index.
/// Throws TemplateError at the token where the expression is wrong.
std::size_t CompileExpression(ExpressionProgram& program, std::string_view text,
                              const TextPositions& positions, std::vector<FieldReference>& fields);

}  // namespace rowvane
