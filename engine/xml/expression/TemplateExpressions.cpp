#include "engine/xml/expression/TemplateExpressions.h"

#include <algorithm>
#include <limits>

#include "engine/xml/expression/DatePattern.h"
#include "engine/xml/expression/ExpressionParser.h"
#include "engine/xml/expression/TextFunctions.h"
#include "text/Utf8.h"

namespace rowvane {
namespace {

// The longest text an expression makes: a few functions nested can multiply
// a text's length, and a template must not exhaust memory with it.
constexpr std::size_t kMaxText = std::size_t{16} << 20;
constexpr const char* kTooLong = "the text would be longer than 16 MiB";

std::string Quoted(std::string_view text) {
  return "'" + std::string(text) + "'";
}

ExpressionValue CountValue(std::uint64_t count) {
  constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  return ExpressionValue::Number(
      Decimal::FromInteger(static_cast<std::int64_t>(std::min(count, kMax))));
}

bool EndsWithGz(std::string_view name) {
  if (name.size() < 3) {
    return false;
  }
  const std::string_view end = name.substr(name.size() - 3);
  return end[0] == '.' && (end[1] == 'g' || end[1] == 'G') && (end[2] == 'z' || end[2] == 'Z');
}

std::string_view BaseName(std::string_view name) {
  const std::size_t slash = name.rfind('/');
  return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

std::string_view Stem(std::string_view name) {
  if (name == "-") {
    return {};
  }
  name = BaseName(name);
  if (EndsWithGz(name)) {
    name.remove_suffix(3);
  }
  const std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? name : name.substr(0, dot);
}

// Evaluates the nodes of one program against one context, left to right.
class Evaluator {
 public:
  Evaluator(const ExpressionProgram& program, const ExpressionContext& context)
      : m_program(program), m_context(context) {}

  ExpressionValue value(std::uint32_t id) const {
    const ExpressionNode& node = m_program.nodes[id];
    switch (node.op) {
      case ExpressionOp::Constant: {
        const ExpressionValue& constant = m_program.constants[node.index];
        return constant.isText() ? ExpressionValue::View(constant.text()) : constant;
      }
      case ExpressionOp::Field:
        return ExpressionValue::View(m_context.field(node.index), node.index);
      case ExpressionOp::Or:
        return ExpressionValue::Boolean(truth(node, 0) || truth(node, 1));
      case ExpressionOp::And:
        return ExpressionValue::Boolean(truth(node, 0) && truth(node, 1));
      case ExpressionOp::Equal:
        return ExpressionValue::Boolean(equal(node));
      case ExpressionOp::NotEqual:
        return ExpressionValue::Boolean(!equal(node));
      case ExpressionOp::Less:
      case ExpressionOp::LessEqual:
      case ExpressionOp::Greater:
      case ExpressionOp::GreaterEqual:
        return ExpressionValue::Boolean(ordered(node));
      case ExpressionOp::Add:
      case ExpressionOp::Subtract:
      case ExpressionOp::Multiply:
      case ExpressionOp::Divide:
        return arithmetic(node);
      case ExpressionOp::Negate: {
        const auto number = numberOperand(node, 0);
        return number ? ExpressionValue::Number(-*number) : ExpressionValue();
      }
      case ExpressionOp::Not:
        return ExpressionValue::Boolean(!truth(node, 0));
      case ExpressionOp::If:
        if (truth(node, 0)) {
          return operand(node, 1);
        }
        return node.count == 3 ? operand(node, 2) : ExpressionValue();
      case ExpressionOp::Map:
        return map(node);
      case ExpressionOp::Position:
        return CountValue(m_context.position());
      case ExpressionOp::Line:
        return CountValue(m_context.line());
      case ExpressionOp::Item:
        return ExpressionValue::View(m_context.item());
      case ExpressionOp::FileName:
        return ExpressionValue::View(BaseName(m_context.fileName()));
      case ExpressionOp::FileStem:
        return ExpressionValue::View(Stem(m_context.fileName()));
      case ExpressionOp::Aggregate:
        return m_context.aggregate(node.index);
      case ExpressionOp::Now:
      case ExpressionOp::Today:
        return moment(node.op == ExpressionOp::Now);
      default:
        return function(node);
    }
  }

 private:
  ExpressionValue operand(const ExpressionNode& node, std::uint32_t i) const {
    return value(m_program.operand(node, i));
  }

  const ExpressionNode& operandNode(const ExpressionNode& node, std::uint32_t i) const {
    return m_program.nodes[m_program.operand(node, i)];
  }

  bool truth(const ExpressionNode& node, std::uint32_t i) const {
    return operand(node, i).isTrue();
  }

  std::string label(const ExpressionValue& from) const {
    if (from.field() == ExpressionValue::kNoField) {
      return {};
    }
    const auto found = m_program.fieldLabels.find(from.field());
    return found == m_program.fieldLabels.end() ? std::string() : found->second;
  }

  [[noreturn]] void fail(TemplatePosition at, const ExpressionValue& from,
                         const std::string& problem) const {
    throw ExpressionValueError(at, label(from), problem, from.field());
  }

  // The operand as a number; nothing when it is no value.
  std::optional<Decimal> numberOperand(const ExpressionNode& node, std::uint32_t i) const {
    const ExpressionValue given = operand(node, i);
    return number(given, operandNode(node, i).at);
  }

  std::optional<Decimal> number(const ExpressionValue& given, TemplatePosition at) const {
    if (given.isNumber()) {
      return given.number();
    }
    NeededNumber needed = AsNumber(given);
    if (needed.status == NeededNumber::Status::Problem) {
      fail(at, given, needed.problem);
    }
    if (needed.status == NeededNumber::Status::Empty) {
      return std::nullopt;
    }
    return needed.number;
  }

  // The text a value writes: its own when it is text, else written into `scratch`.
  static std::string_view textOf(const ExpressionValue& given, std::string& scratch) {
    if (given.isText()) {
      return given.text();
    }
    given.write(scratch);
    return scratch;
  }

  // A part of `whole`'s text: viewed where `whole` views, else copied.
  static ExpressionValue slice(const ExpressionValue& whole, std::string_view part) {
    if (whole.isView()) {
      return ExpressionValue::View(part);
    }
    return ExpressionValue::Text(std::string(part));
  }

  bool equal(const ExpressionNode& node) const {
    const ExpressionValue a = operand(node, 0);
    const ExpressionValue b = operand(node, 1);
    if (a.isNumber() && b.isNumber()) {
      return a.number() == b.number();
    }
    std::string scratchA;
    std::string scratchB;
    return textOf(a, scratchA) == textOf(b, scratchB);
  }

  bool ordered(const ExpressionNode& node) const {
    const auto a = numberOperand(node, 0);
    const auto b = numberOperand(node, 1);
    if (!a || !b) {
      return false;
    }
    switch (node.op) {
      case ExpressionOp::Less:
        return *a < *b;
      case ExpressionOp::LessEqual:
        return *a <= *b;
      case ExpressionOp::Greater:
        return *a > *b;
      default:
        return *a >= *b;
    }
  }

  ExpressionValue arithmetic(const ExpressionNode& node) const {
    const auto a = numberOperand(node, 0);
    const auto b = numberOperand(node, 1);
    if (!a || !b) {
      return {};
    }
    try {
      switch (node.op) {
        case ExpressionOp::Add:
          return ExpressionValue::Number(*a + *b);
        case ExpressionOp::Subtract:
          return ExpressionValue::Number(*a - *b);
        case ExpressionOp::Multiply:
          return ExpressionValue::Number(*a * *b);
        default:
          return ExpressionValue::Number(*a / *b);
      }
    } catch (const DecimalError& error) {
      throw ExpressionValueError(node.at, {}, error.what());
    }
  }

  ExpressionValue map(const ExpressionNode& node) const {
    const ExpressionValue given = operand(node, 0);
    std::string scratch;
    const std::string_view wanted = textOf(given, scratch);
    const std::uint32_t pairs = (node.count - 1) / 2;
    for (std::uint32_t pair = 0; pair < pairs; ++pair) {
      const ExpressionValue key = operand(node, 1 + 2 * pair);
      std::string keyScratch;
      if (textOf(key, keyScratch) == wanted) {
        return operand(node, 2 + 2 * pair);
      }
    }
    if ((node.count - 1) % 2 == 1) {
      return operand(node, node.count - 1);
    }
    std::string keys;
    for (std::uint32_t pair = 0; pair < pairs; ++pair) {
      keys += (pair == 0 ? "" : ", ") + Quoted(operand(node, 1 + 2 * pair).written());
    }
    fail(node.at, given, "map: no key matches " + Quoted(wanted) + " (keys: " + keys + ")");
  }

  std::int64_t wholeOperand(const ExpressionNode& node, std::uint32_t i, const char* what) const {
    const ExpressionValue given = operand(node, i);
    const NeededNumber needed = AsNumber(given);
    const auto whole =
        needed.status == NeededNumber::Status::Number ? needed.number.wholeValue() : std::nullopt;
    if (!whole) {
      fail(operandNode(node, i).at, given,
           std::string("substring: the ") + what + " must be a whole number, not " +
               Quoted(given.written()));
    }
    return *whole;
  }

  // The functions whose first argument is read first.
  ExpressionValue function(const ExpressionNode& node) const {
    const ExpressionValue first = operand(node, 0);
    std::string scratch;
    const std::string_view text = textOf(first, scratch);
    std::string out;
    switch (node.op) {
      case ExpressionOp::Upper:
        AppendUpper(text, out);
        break;
      case ExpressionOp::Lower:
        AppendLower(text, out);
        break;
      case ExpressionOp::Trim:
        return slice(first, TrimWhiteSpace(text));
      case ExpressionOp::SubstringBefore:
      case ExpressionOp::SubstringAfter:
        return around(node, first, text);
      case ExpressionOp::Replace:
        return replace(node, text);
      case ExpressionOp::Substring: {
        const std::int64_t start = wholeOperand(node, 1, "start");
        const std::int64_t length = node.count == 3 ? wholeOperand(node, 2, "length")
                                                    : std::numeric_limits<std::int64_t>::max();
        return slice(first, CodePointRange(text, start, length));
      }
      case ExpressionOp::Length:
        return CountValue(CodePointCount(text));
      case ExpressionOp::Concat:
        out.append(text);
        for (std::uint32_t i = 1; i < node.count; ++i) {
          operand(node, i).write(out);
          if (out.size() > kMaxText) {
            fail(node.at, {}, kTooLong);
          }
        }
        break;
      case ExpressionOp::Number:
        return toNumber(node, first, text);
      case ExpressionOp::Format: {
        const auto number = this->number(first, operandNode(node, 0).at);
        if (!number) {
          return {};
        }
        number->appendFormatted(static_cast<int>(node.index), out);
        break;
      }
      case ExpressionOp::Date:
      case ExpressionOp::DateTime:
        return date(node, first, text);
      default:
        break;
    }
    return ExpressionValue::Text(std::move(out));
  }

  ExpressionValue moment(bool withTime) const {
    std::string out;
    if (withTime) {
      AppendDateTime(UtcDateTime(m_context.now()), out);
      out += 'Z';
    } else {
      AppendDate(UtcDateTime(m_context.now()), out);
    }
    return ExpressionValue::Text(std::move(out));
  }

  ExpressionValue around(const ExpressionNode& node, const ExpressionValue& first,
                         std::string_view text) const {
    const ExpressionValue find = operand(node, 1);
    std::string scratch;
    const std::string_view wanted = textOf(find, scratch);
    const std::size_t at = text.find(wanted);
    if (at == std::string_view::npos) {
      return {};
    }
    return slice(first, node.op == ExpressionOp::SubstringBefore ? text.substr(0, at)
                                                                 : text.substr(at + wanted.size()));
  }

  ExpressionValue replace(const ExpressionNode& node, std::string_view text) const {
    const ExpressionValue find = operand(node, 1);
    const ExpressionValue with = operand(node, 2);
    std::string findScratch;
    std::string withScratch;
    const std::string_view wanted = textOf(find, findScratch);
    if (wanted.empty()) {
      fail(operandNode(node, 1).at, find, "replace: the text to find is empty");
    }
    std::string out;
    if (!AppendReplaced(text, wanted, textOf(with, withScratch), kMaxText, out)) {
      fail(node.at, {}, kTooLong);
    }
    return ExpressionValue::Text(std::move(out));
  }

  ExpressionValue toNumber(const ExpressionNode& node, const ExpressionValue& first,
                           std::string_view text) const {
    if (node.count == 1 || first.isNumber()) {
      const auto number = this->number(first, node.at);
      return number ? ExpressionValue::Number(*number) : ExpressionValue();
    }
    const ExpressionValue markValue = operand(node, 1);
    const ExpressionValue groupValue = operand(node, 2);
    std::string markScratch;
    std::string groupScratch;
    const std::string_view mark = textOf(markValue, markScratch);
    const std::string_view group = textOf(groupValue, groupScratch);
    if (mark.empty() || NextUtf8Character(mark).length != mark.size()) {
      fail(operandNode(node, 1).at, markValue,
           "number: the decimal mark must be one character, not " + Quoted(mark));
    }
    if (!group.empty() && NextUtf8Character(group).length != group.size()) {
      fail(operandNode(node, 2).at, groupValue,
           "number: the group separator must be one character or '', not " + Quoted(group));
    }
    if (group == mark) {
      fail(operandNode(node, 2).at, groupValue,
           "number: the group separator is the same as the decimal mark");
    }
    if (first.isBoolean()) {
      fail(node.at, first, "a boolean is not a number");
    }
    const DecimalReading reading = ReadDecimal(text, mark, group);
    switch (reading.status) {
      case DecimalReading::Status::Number:
        return ExpressionValue::Number(reading.value);
      case DecimalReading::Status::Empty:
        return {};
      case DecimalReading::Status::NotNumber:
        fail(node.at, first,
             Quoted(text) + " is not a number with the decimal mark " + Quoted(mark) +
                 (group.empty() ? " and no group separator"
                                : " and the group separator " + Quoted(group)));
      case DecimalReading::Status::OutOfRange:
        break;
    }
    fail(node.at, first, Quoted(text) + ": number out of range");
  }

  ExpressionValue date(const ExpressionNode& node, const ExpressionValue& first,
                       std::string_view text) const {
    const ExpressionValue patternValue = operand(node, 1);
    std::string scratch;
    const std::string_view pattern = textOf(patternValue, scratch);
    const bool withTime = node.op == ExpressionOp::DateTime;
    const char* name = withTime ? "datetime" : "date";
    if (text.empty()) {
      return {};
    }
    const auto parts = ReadDateTime(text, pattern);
    if (!parts) {
      if (const auto problem = DatePatternProblem(pattern)) {
        fail(operandNode(node, 1).at, patternValue,
             std::string(name) + ": " + *problem + ": " + Quoted(pattern));
      }
      fail(node.at, first,
           Quoted(text) + (withTime ? " is not a date and time" : " is not a date") +
               " in the pattern " + Quoted(pattern));
    }
    std::string out;
    if (withTime) {
      AppendDateTime(*parts, out);
    } else {
      AppendDate(*parts, out);
    }
    return ExpressionValue::Text(std::move(out));
  }

  const ExpressionProgram& m_program;
  const ExpressionContext& m_context;
};

}  // namespace

TemplateExpressions::TemplateExpressions(std::map<std::string, std::string> parameters) {
  m_program.parameters = std::move(parameters);
}

std::size_t TemplateExpressions::compile(std::string_view text, const TextPositions& positions,
                                         std::vector<FieldReference>& fields) {
  return CompileExpression(m_program, text, positions, fields);
}

ExpressionValue TemplateExpressions::evaluate(std::size_t expression,
                                              const ExpressionContext& context) const {
  return Evaluator(m_program, context).value(m_program.roots[expression]);
}

ExpressionValue TemplateExpressions::evaluateArgument(std::size_t site,
                                                      const ExpressionContext& record) const {
  const std::uint32_t argument = m_program.siteArguments[site];
  if (argument == ExpressionProgram::kNoNode) {
    return ExpressionValue::Boolean(true);
  }
  return Evaluator(m_program, record).value(argument);
}

void TemplateExpressions::accumulate(std::size_t site, AggregateAccumulator& accumulator,
                                     const ExpressionContext& record) const {
  const ExpressionValue value = evaluateArgument(site, record);
  try {
    accumulator.add(value);
  } catch (const ExpressionValueError& error) {
    const auto label = m_program.fieldLabels.find(value.field());
    throw ExpressionValueError(m_program.sites[site].at,
                               label == m_program.fieldLabels.end() ? std::string() : label->second,
                               error.problem(), value.field());
  }
}

}  // namespace rowvane
