#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "engine/xml/LayoutTemplate.h"
#include "engine/xml/expression/AggregateSite.h"
#include "engine/xml/expression/ExpressionUses.h"
#include "engine/xml/expression/ExpressionValue.h"

namespace rowvane {

/// What a node of a compiled expression does.
enum class ExpressionOp : std::uint8_t {
  Constant,  ///< constants[index]
  Field,     ///< field reference `index`
  Or,
  And,
  Equal,
  NotEqual,
  Less,
  LessEqual,
  Greater,
  GreaterEqual,
  Add,
  Subtract,
  Multiply,
  Divide,
  Negate,
  Upper,
  Lower,
  Trim,
  SubstringBefore,
  SubstringAfter,
  Replace,
  Substring,
  Length,
  Concat,
  Number,
  Format,  ///< index: the places
  Date,
  DateTime,
  Now,
  Today,
  If,
  Map,
  Not,
  Position,
  Line,
  FileName,
  FileStem,
  Item,
  Aggregate,  ///< index: the site
};

/// One node: its operands are operands[first, first + count).
struct ExpressionNode {
  ExpressionOp op = ExpressionOp::Constant;
  std::uint32_t first = 0;
  std::uint32_t count = 0;
  std::uint32_t index = 0;
  TemplatePosition at;
};

/// Every expression of a template as one flat tree, so evaluating is a loop
/// of switches over plain data.
struct ExpressionProgram {
  static constexpr std::uint32_t kNoNode = static_cast<std::uint32_t>(-1);

  std::vector<ExpressionNode> nodes;
  std::vector<std::uint32_t> operands;
  /// Literal values; a deque, so the texts values view never move.
  std::deque<ExpressionValue> constants;
  std::vector<std::uint32_t> roots;  ///< per expression
  std::vector<ExpressionUses> uses;  ///< per expression
  std::vector<AggregateSite> sites;
  std::vector<std::uint32_t> siteArguments;  ///< per site: its argument node, or kNoNode
  /// What failures call a field: its header name, or `#N`.
  std::map<std::size_t, std::string> fieldLabels;
  std::map<std::string, std::string> parameters;

  std::uint32_t operand(const ExpressionNode& node, std::uint32_t i) const {
    return operands[node.first + i];
  }
};

}  // namespace rowvane
