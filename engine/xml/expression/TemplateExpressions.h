#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/xml/TemplatePlaceholders.h"
#include "engine/xml/expression/AggregateAccumulator.h"
#include "engine/xml/expression/AggregateSite.h"
#include "engine/xml/expression/ExpressionContext.h"
#include "engine/xml/expression/ExpressionTree.h"
#include "engine/xml/expression/ExpressionUses.h"
#include "engine/xml/expression/ExpressionValue.h"
#include "engine/xml/expression/ExpressionValueError.h"

namespace rowvane {

/// Every expression of one template, compiled, with the aggregate sites they
/// hold. Evaluating is deterministic and reads nothing but its context; a
/// const object may be evaluated from several threads at once.
class TemplateExpressions {
 public:
  /// `parameters` are what param(NAME) gives, by NAME.
  explicit TemplateExpressions(std::map<std::string, std::string> parameters = {});

  /// Compiles `text` (what stands between `{=` and the closing `}`, without
  /// the `=`); `positions` maps an offset in `text` to the template file.
  /// Appends the fields it names to `fields` (the nodes keep their indexes).
  /// Gives the expression's index. Throws TemplateError at the token where
  /// the expression is wrong, leaving the expressions compiled before intact.
  std::size_t compile(std::string_view text, const TextPositions& positions,
                      std::vector<FieldReference>& fields);
  std::size_t size() const { return m_program.roots.size(); }

  /// The value of an expression. Its text may view the context's texts and
  /// this object's literals (ExpressionValue::owned() copies it). Throws
  /// ExpressionValueError for a value it cannot use.
  ExpressionValue evaluate(std::size_t expression, const ExpressionContext& context) const;
  const ExpressionUses& uses(std::size_t expression) const { return m_program.uses[expression]; }

  /// The aggregate sites of every expression, in the order compiled.
  std::size_t siteCount() const { return m_program.sites.size(); }
  const AggregateSite& site(std::size_t site) const { return m_program.sites[site]; }
  /// The argument of a site evaluated for one record (count() without
  /// argument: true). Throws ExpressionValueError.
  ExpressionValue evaluateArgument(std::size_t site, const ExpressionContext& record) const;
  /// Adds one record's argument to a site's accumulator. Throws
  /// ExpressionValueError at the site for a value the aggregate cannot take.
  void accumulate(std::size_t site, AggregateAccumulator& accumulator,
                  const ExpressionContext& record) const;

 private:
  ExpressionProgram m_program;
};

}  // namespace rowvane
