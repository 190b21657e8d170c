#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace rowvane {

__extension__ typedef unsigned __int128 UInt128;

/// At most this many significant digits in all, and this many after the point.
inline constexpr int kDecimalDigits = 38;
inline constexpr int kDecimalPlaces = 20;

/// A computation whose exact answer is no Decimal: "division by zero" or
/// "number out of range".
class DecimalError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// An exact decimal number: a coefficient below 10^38 and from 0 to 20 digits
/// after the point, kept with no trailing zero after the point, so equal
/// numbers are equal objects. Never binary floating point: + - * are exact,
/// division rounds to 20 places half away from zero, and a result that needs
/// more digits throws DecimalError.
class Decimal {
 public:
  constexpr Decimal() = default;  ///< zero
  static Decimal FromInteger(std::int64_t value);

  friend Decimal operator+(const Decimal& a, const Decimal& b);
  friend Decimal operator-(const Decimal& a, const Decimal& b);
  friend Decimal operator*(const Decimal& a, const Decimal& b);
  /// Rounded to 20 places, half away from zero; throws on a zero divisor.
  friend Decimal operator/(const Decimal& a, const Decimal& b);
  Decimal operator-() const;

  friend bool operator==(const Decimal&, const Decimal&) = default;
  friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b);

  bool isZero() const { return m_low == 0 && m_high == 0; }
  bool isNegative() const { return m_negative; }
  bool isWhole() const { return m_scale == 0; }
  /// The number when it is whole and fits, clamped to the int64 range.
  std::optional<std::int64_t> wholeValue() const;

  /// The shortest exact writing: `4`, `-0.25`, `0` (never `-0`).
  std::string toString() const;
  void appendTo(std::string& out) const;
  /// Exactly `places` (0-20) digits after the point, rounded half away from
  /// zero; no sign when the rounded value is zero (`0.00`).
  void appendFormatted(int places, std::string& out) const;

  UInt128 magnitude() const { return (static_cast<UInt128>(m_high) << 64) | m_low; }
  int scale() const { return m_scale; }
  /// From a magnitude below 10^38 and a scale of at most 20 (not checked
  /// beyond that: callers make their numbers through Normalized).
  static Decimal FromParts(bool negative, UInt128 magnitude, int scale);

 private:
  std::uint64_t m_low = 0;
  std::uint64_t m_high = 0;
  bool m_negative = false;
  std::uint8_t m_scale = 0;
};

/// What reading a text as a number found.
struct DecimalReading {
  enum class Status : std::uint8_t {
    Number,      ///< `value` holds it
    Empty,       ///< nothing but spaces and tabs: no value
    NotNumber,   ///< anything else that is not a number by the rule
    OutOfRange,  ///< a number that needs more digits than a Decimal holds
  };
  Status status = Status::Empty;
  Decimal value;
};

/// The plain rule: spaces and tabs around ignored, then an optional sign,
/// digits, `.` and digits, either side of the `.` possibly empty but not both
/// and the `.` possibly absent; nothing else.
DecimalReading ReadDecimal(std::string_view text);

/// The same with `mark` as the only decimal mark, and every `group` (or
/// nothing when empty) removed before the mark. Both are bytes of one
/// character, which the caller checked.
DecimalReading ReadDecimal(std::string_view text, std::string_view mark, std::string_view group);

}  // namespace rowvane
