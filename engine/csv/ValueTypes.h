#pragma once

#include <cstdint>
#include <string_view>

namespace rowvane {

/// The XML Schema types a field's values are told by, narrowest first.
enum class ValueType : std::uint8_t { Integer, Decimal, Boolean, Date, DateTime, String };

/// A set of ValueTypes, one bit each.
using ValueTypeSet = std::uint8_t;

inline constexpr ValueTypeSet Bit(ValueType type) {
  return static_cast<ValueTypeSet>(1U << static_cast<unsigned>(type));
}

/// Every type a value can be (String always is).
inline constexpr ValueTypeSet kAnyValueType = 0x3F;

/// The types `value` matches exactly as it stands (no white space taken
/// away): an integer is an optional "-" and digits without a leading zero
/// ("0" itself; "007" and "-0" are text); a decimal is such an integer, or one
/// followed by "." and digits ("-0.5" too); a boolean is "true" or "false"; a
/// date is YYYY-MM-DD of a day that exists (years 0001 to 9999); a date and
/// time is such a date, "T", hh:mm:ss (00-23, 00-59, 00-59), an optional
/// fraction and an optional "Z" or +hh:mm / -hh:mm. Every value is String.
ValueTypeSet ValueTypesOf(std::string_view value);

/// The narrowest type in `types` (String when nothing else is left).
ValueType NarrowestOf(ValueTypeSet types);

/// "xs:integer" ... "xs:string".
std::string_view SchemaTypeName(ValueType type);

/// What the values of one field were found to be.
struct FieldValues {
  /// The types every non-empty value matched.
  ValueTypeSet types = kAnyValueType;
  bool anyValue = false;  ///< a non-empty value was seen
  bool anyEmpty = false;  ///< an empty value was seen

  void take(std::string_view value) {
    if (value.empty()) {
      anyEmpty = true;
      return;
    }
    anyValue = true;
    types &= ValueTypesOf(value);
  }
  /// The type its values are told by: a field of empty values alone, or of
  /// none, is text.
  ValueType type() const { return anyValue ? NarrowestOf(types) : ValueType::String; }
};

}  // namespace rowvane
