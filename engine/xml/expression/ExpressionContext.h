#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/xml/expression/ExpressionValue.h"

namespace rowvane {

/// What an expression reads from where it is evaluated: the record, its
/// place, the input and the aggregates' results. Texts it gives stand while
/// the values evaluated from them are used.
class ExpressionContext {
 public:
  virtual ~ExpressionContext() = default;
  /// The value of the field that `reference` (an index into the template's
  /// fields) names, in the current record.
  virtual std::string_view field(std::size_t reference) const = 0;
  virtual std::uint64_t position() const = 0;
  /// The CSV line the record begins on.
  virtual std::uint64_t line() const = 0;
  /// Inside a repetition per item: the current item.
  virtual std::string_view item() const = 0;
  /// The input's name ("-" for standard input).
  virtual std::string_view fileName() const = 0;
  /// The moment the conversion started: seconds since 1970-01-01T00:00:00Z.
  virtual std::int64_t now() const = 0;
  /// The result of aggregate site `site` over the records of its scope.
  virtual ExpressionValue aggregate(std::size_t site) const = 0;
};

}  // namespace rowvane
