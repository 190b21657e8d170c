#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/xml/expression/Decimal.h"

namespace rowvane {

/// What an expression gives: text, an exact number or a boolean.
/// A value may view text it does not own (a field of the record, a literal of
/// the template): such a value is used while that text stands, and owned()
/// gives one that keeps its own copy.
class ExpressionValue {
 public:
  enum class Kind : std::uint8_t { Text, Number, Boolean };
  static constexpr std::size_t kNoField = static_cast<std::size_t>(-1);

  ExpressionValue() = default;  ///< the empty text
  static ExpressionValue Text(std::string text);
  /// Text kept elsewhere; `field` the reference it is the value of, if any.
  static ExpressionValue View(std::string_view text, std::size_t field = kNoField);
  static ExpressionValue Number(const Decimal& number);
  static ExpressionValue Boolean(bool value);

  Kind kind() const { return m_kind; }
  bool isText() const { return m_kind == Kind::Text; }
  bool isNumber() const { return m_kind == Kind::Number; }
  bool isBoolean() const { return m_kind == Kind::Boolean; }
  /// The text of a Text value.
  std::string_view text() const { return m_borrowed ? m_view : std::string_view(m_owned); }
  const Decimal& number() const { return m_number; }
  bool boolean() const { return m_boolean; }
  /// True for text kept elsewhere (see View).
  bool isView() const { return m_borrowed; }
  /// The field reference this is the unchanged value of, or kNoField.
  std::size_t field() const { return m_field; }

  /// The written form: text as it is, a number as its shortest exact
  /// decimal, true as `true` and false as the empty text.
  void write(std::string& out) const;
  std::string written() const;
  /// What a condition asks: true when the written form is not empty.
  bool isTrue() const;

  /// The same value, owning its text.
  ExpressionValue owned() const;

 private:
  std::string m_owned;
  std::string_view m_view;
  Decimal m_number;
  std::size_t m_field = kNoField;
  Kind m_kind = Kind::Text;
  bool m_borrowed = false;
  bool m_boolean = false;
};

/// What a value gives where a number is needed: a Number itself, text by the
/// plain rule, empty text no value; a boolean, other text and a number too
/// long for a Decimal a problem.
struct NeededNumber {
  enum class Status : std::uint8_t { Number, Empty, Problem };
  Status status = Status::Empty;
  Decimal number;
  std::string problem;  ///< "'abc' is not a number", ...
};
NeededNumber AsNumber(const ExpressionValue& value);

}  // namespace rowvane
