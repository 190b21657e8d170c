#pragma once

#include <string>
#include <string_view>

namespace rowvane::cli {

/// `utf8` as a JSON string, quotes included: `"` and `\` escaped, control
/// characters as \n, \r, \t or \u00XX; everything else as it is. The text
/// must be valid UTF-8 (see IsValidUtf8).
std::string JsonString(std::string_view utf8);

}  // namespace rowvane::cli
