#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "engine/xml/LayoutTemplate.h"

namespace rowvane {

/// What an expression reads outside its aggregates' arguments, for the checks
/// of where it may stand (an aggregate's argument is read per record of its
/// scope, wherever the aggregate stands).
struct ExpressionUses {
  std::vector<TemplatePosition> bareFields;  ///< fields used outside every aggregate
  std::vector<std::size_t> sites;            ///< the aggregate sites in the expression
  std::optional<TemplatePosition> line;      ///< the first line() outside aggregates
  std::optional<TemplatePosition> position;  ///< the first position() outside aggregates
  std::optional<TemplatePosition> item;      ///< the first item() outside aggregates
};

}  // namespace rowvane
