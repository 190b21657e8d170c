#pragma once

#include <cstdint>
#include <string>

#include "engine/xml/expression/AggregateSite.h"
#include "engine/xml/expression/Decimal.h"
#include "engine/xml/expression/ExpressionValue.h"

namespace rowvane {

/// An aggregate's result over records taken one by one, in little memory
/// (one is kept per group and site): `count` counts true values, `sum` adds
/// the non-empty values exactly, `min` and `max` compare numbers when every
/// non-empty value is one by the plain rule and texts code point by code
/// point otherwise, `first` and `last` keep one record's value.
class AggregateAccumulator {
 public:
  explicit AggregateAccumulator(AggregateKind kind) : m_kind(kind) {}

  /// One record's value of the aggregate's argument. Throws
  /// ExpressionValueError (at no position: TemplateExpressions::accumulate
  /// tells the site's) when `sum` meets a value that is no number, or its
  /// total needs more digits than a number holds.
  void add(const ExpressionValue& value);
  /// The result so far: count and sum a number (0 of nothing), min and max
  /// the least and greatest value (the empty text of nothing), first and
  /// last the value (the empty text of no record).
  ExpressionValue result() const;

 private:
  void addExtreme(const ExpressionValue& value);

  std::string m_text;         ///< min, max: the extreme text; first, last: a Text value's text
  Decimal m_number;           ///< sum; min, max: the extreme number; first, last: a Number's
  std::uint64_t m_count = 0;  ///< count; the values taken by the others
  std::uint32_t m_field = kNoField;  ///< first, last: the field the value came from
  AggregateKind m_kind;
  ExpressionValue::Kind m_valueKind = ExpressionValue::Kind::Text;
  bool m_numeric = true;  ///< min, max: every value taken is a number
  bool m_boolean = false;

  static constexpr std::uint32_t kNoField = static_cast<std::uint32_t>(-1);
};

}  // namespace rowvane
