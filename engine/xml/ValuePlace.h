#pragma once

#include <cstdint>

namespace rowvane {

/// Where a value stands in the XML, which decides how its characters are written.
enum class ValuePlace : std::uint8_t {
  Text,       ///< `& < >` and CR as entities
  Attribute,  ///< also `"`, tab and LF, which a parser would change otherwise
};

}  // namespace rowvane
