#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rowvane::cli {

/// A value at the top of a JSON object, as far as a report's reader needs it.
struct JsonValue {
  enum class Kind { String, Number, True, False, Null, Array, Object };
  Kind kind = Kind::Null;
  /// A string decoded to UTF-8, or a number as written; empty otherwise.
  std::string text;
  /// The elements of an array.
  std::size_t items = 0;
};

struct JsonMember {
  std::string key;
  JsonValue value;
};

/// The members of the one JSON object that `line` holds (white space around
/// it allowed), in order; nullopt when it is not exactly one well-formed
/// object. Nested values are checked but only an array's length is kept;
/// nesting deeper than 64 is refused, so any line can be read.
std::optional<std::vector<JsonMember>> ReadJsonObjectLine(std::string_view line);

/// The value of the first member named `key`; nullptr when there is none.
const JsonValue* MemberNamed(const std::vector<JsonMember>& members, std::string_view key);

}  // namespace rowvane::cli
