#pragma once

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
  ExpressionValueError(TemplatePosition at, std::string field, const std::string& problem)
      : std::runtime_error(field.empty() ? problem : "field '" + field + "': " + problem),
        m_at(at),
        m_field(std::move(field)),
        m_problem(problem) {}
  TemplatePosition position() const { return m_at; }
  const std::string& field() const { return m_field; }
  /// what() without the field.
  const std::string& problem() const { return m_problem; }

 private:
  TemplatePosition m_at;
  std::string m_field;
  std::string m_problem;
};

}  // namespace rowvane
