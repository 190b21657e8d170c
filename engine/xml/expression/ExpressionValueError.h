#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

#include "engine/xml/LayoutTemplate.h"

namespace rowvane {

/// A value an expression cannot use, found while evaluating it: where in the
/// template, the field the value came from (its header name, or `#N`; empty
/// when none) and the problem. what() reads "field 'F': problem" when there
/// is a field, else the problem alone.
class ExpressionValueError : public std::runtime_error {
 public:
  static constexpr std::size_t kNoField = static_cast<std::size_t>(-1);

  ExpressionValueError(TemplatePosition at, std::string field, const std::string& problem,
                       std::size_t reference = kNoField)
      : std::runtime_error(field.empty() ? problem : "field '" + field + "': " + problem),
        m_at(at),
        m_field(std::move(field)),
        m_problem(problem),
        m_reference(reference) {}
  TemplatePosition position() const { return m_at; }
  const std::string& field() const { return m_field; }
  /// The field reference (an index into the template's fields) the value
  /// came from, or kNoField.
  std::size_t fieldReference() const { return m_reference; }
  /// what() without the field.
  const std::string& problem() const { return m_problem; }

 private:
  TemplatePosition m_at;
  std::string m_field;
  std::string m_problem;
  std::size_t m_reference = kNoField;
};

}  // namespace rowvane
