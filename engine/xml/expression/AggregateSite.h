#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/xml/LayoutTemplate.h"

namespace rowvane {

/// What an aggregate computes over the records of its scope.
enum class AggregateKind : std::uint8_t { Count, Sum, Min, Max, First, Last };

/// One aggregate call in a template's expressions: what it computes, where it
/// stands and in which expression. Its argument is evaluated per record by
/// TemplateExpressions::accumulate.
struct AggregateSite {
  AggregateKind kind = AggregateKind::Count;
  TemplatePosition at;
  std::size_t expression = 0;
};

}  // namespace rowvane
