#include "engine/xml/expression/ExpressionParser.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "engine/xml/expression/DatePattern.h"
#include "text/Utf8.h"

namespace rowvane {
namespace {

struct Token {
  enum class Kind : std::uint8_t {
    Number,
    String,
    Field,
    Name,
    Open,
    Close,
    Comma,
    Equal,
    NotEqual,
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
    Plus,
    Minus,
    Times,
    Divide,
    End,
  };
  Kind kind = Kind::End;
  std::string_view text;  ///< as written
  std::string value;      ///< a string's or a field's content, doubled delimiters undone
  std::size_t offset = 0;
};

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

class Tokenizer {
 public:
  Tokenizer(std::string_view text, const TextPositions& positions)
      : m_text(text), m_positions(positions) {}

  std::vector<Token> tokens() {
    std::vector<Token> result;
    for (;;) {
      skipSpace();
      Token token;
      token.offset = m_at;
      if (m_at == m_text.size()) {
        result.push_back(std::move(token));
        return result;
      }
      readToken(token);
      token.text = m_text.substr(token.offset, m_at - token.offset);
      result.push_back(std::move(token));
    }
  }

 private:
  void skipSpace() {
    while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\t' ||
                                    m_text[m_at] == '\r' || m_text[m_at] == '\n')) {
      ++m_at;
    }
  }

  void readToken(Token& token) {
    const char c = m_text[m_at];
    if (IsDigit(c) || (c == '.' && m_at + 1 < m_text.size() && IsDigit(m_text[m_at + 1]))) {
      token.kind = Token::Kind::Number;
      while (m_at < m_text.size() && IsDigit(m_text[m_at])) {
        ++m_at;
      }
      if (m_at < m_text.size() && m_text[m_at] == '.') {
        ++m_at;
        while (m_at < m_text.size() && IsDigit(m_text[m_at])) {
          ++m_at;
        }
      }
    } else if (IsLetter(c)) {
      token.kind = Token::Kind::Name;
      ++m_at;
      while (m_at < m_text.size() &&
             (IsLetter(m_text[m_at]) || IsDigit(m_text[m_at]) || m_text[m_at] == '_' ||
              (m_text[m_at] == '-' && m_at + 1 < m_text.size() && IsLetter(m_text[m_at + 1])))) {
        ++m_at;
      }
    } else if (c == '\'' || c == '"') {
      token.kind = Token::Kind::String;
      token.value = delimited(c, "a string without its closing " + std::string{c});
    } else if (c == '[') {
      token.kind = Token::Kind::Field;
      token.value = delimited(']', "'[' without a closing ']'");
    } else {
      token.kind = symbol();
    }
  }

  // The text up to `close`, where `close` doubled stands for itself.
  std::string delimited(char close, const std::string& unclosed) {
    const std::size_t start = m_at;
    std::string value;
    ++m_at;
    for (;;) {
      const std::size_t end = m_text.find(close, m_at);
      if (end == std::string_view::npos) {
        throw TemplateError(m_positions(start), unclosed);
      }
      value.append(m_text.substr(m_at, end - m_at));
      m_at = end + 1;
      if (m_at < m_text.size() && m_text[m_at] == close) {
        value += close;
        ++m_at;
      } else {
        return value;
      }
    }
  }

  Token::Kind symbol() {
    const char c = m_text[m_at];
    const char next = m_at + 1 < m_text.size() ? m_text[m_at + 1] : '\0';
    ++m_at;
    switch (c) {
      case '(':
        return Token::Kind::Open;
      case ')':
        return Token::Kind::Close;
      case ',':
        return Token::Kind::Comma;
      case '=':
        return Token::Kind::Equal;
      case '+':
        return Token::Kind::Plus;
      case '-':
        return Token::Kind::Minus;
      case '*':
        return Token::Kind::Times;
      case '/':
        return Token::Kind::Divide;
      case '<':
        return next == '=' ? (++m_at, Token::Kind::LessEqual) : Token::Kind::Less;
      case '>':
        return next == '=' ? (++m_at, Token::Kind::GreaterEqual) : Token::Kind::Greater;
      case '!':
        if (next == '=') {
          ++m_at;
          return Token::Kind::NotEqual;
        }
        break;
      default:
        break;
    }
    const std::size_t start = m_at - 1;
    const Utf8Character character = NextUtf8Character(m_text.substr(start));
    const std::string shown(m_text.substr(start, std::max<std::size_t>(character.length, 1)));
    throw TemplateError(m_positions(start), "unexpected '" + shown + "'");
  }

  std::string_view m_text;
  const TextPositions& m_positions;
  std::size_t m_at = 0;
};

struct FunctionSignature {
  std::string_view name;
  ExpressionOp op;
  std::uint8_t least;
  std::uint8_t most;  ///< kMany: no limit
};
constexpr std::uint8_t kMany = 255;

constexpr std::array<FunctionSignature, 24> kFunctions = {{
    {"upper", ExpressionOp::Upper, 1, 1},
    {"lower", ExpressionOp::Lower, 1, 1},
    {"trim", ExpressionOp::Trim, 1, 1},
    {"substring-before", ExpressionOp::SubstringBefore, 2, 2},
    {"substring-after", ExpressionOp::SubstringAfter, 2, 2},
    {"replace", ExpressionOp::Replace, 3, 3},
    {"substring", ExpressionOp::Substring, 2, 3},
    {"length", ExpressionOp::Length, 1, 1},
    {"concat", ExpressionOp::Concat, 2, kMany},
    {"number", ExpressionOp::Number, 1, 3},
    {"format", ExpressionOp::Format, 2, 2},
    {"date", ExpressionOp::Date, 2, 2},
    {"datetime", ExpressionOp::DateTime, 2, 2},
    {"now", ExpressionOp::Now, 0, 0},
    {"today", ExpressionOp::Today, 0, 0},
    {"if", ExpressionOp::If, 2, 3},
    {"map", ExpressionOp::Map, 3, kMany},
    {"not", ExpressionOp::Not, 1, 1},
    {"position", ExpressionOp::Position, 0, 0},
    {"line", ExpressionOp::Line, 0, 0},
    {"file-name", ExpressionOp::FileName, 0, 0},
    {"file-stem", ExpressionOp::FileStem, 0, 0},
    {"item", ExpressionOp::Item, 0, 0},
    {"param", ExpressionOp::Constant, 1, 2},
}};

struct AggregateSignature {
  std::string_view name;
  AggregateKind kind;
  std::uint8_t least;
};

constexpr std::array<AggregateSignature, 6> kAggregates = {{
    {"count", AggregateKind::Count, 0},
    {"sum", AggregateKind::Sum, 1},
    {"min", AggregateKind::Min, 1},
    {"max", AggregateKind::Max, 1},
    {"first", AggregateKind::First, 1},
    {"last", AggregateKind::Last, 1},
}};

std::string ArgumentCount(std::string_view name, std::size_t least, std::size_t most,
                          std::size_t given) {
  std::string takes;
  if (least == most) {
    takes = std::to_string(least) + (least == 1 ? " argument" : " arguments");
  } else if (most == kMany) {
    takes = std::to_string(least) + " or more arguments";
  } else if (name == "number") {
    takes = "1 or 3 arguments";
  } else {
    takes = std::to_string(least) + " or " + std::to_string(most) + " arguments";
  }
  return "'" + std::string(name) + "' takes " + takes + ", not " + std::to_string(given);
}

std::optional<ExpressionOp> Comparison(const Token& token) {
  using Kind = Token::Kind;
  switch (token.kind) {
    case Kind::Equal:
      return ExpressionOp::Equal;
    case Kind::NotEqual:
      return ExpressionOp::NotEqual;
    case Kind::Less:
      return ExpressionOp::Less;
    case Kind::LessEqual:
      return ExpressionOp::LessEqual;
    case Kind::Greater:
      return ExpressionOp::Greater;
    case Kind::GreaterEqual:
      return ExpressionOp::GreaterEqual;
    case Kind::Name: {
      static constexpr std::array<std::pair<std::string_view, ExpressionOp>, 6> kWords = {{
          {"eq", ExpressionOp::Equal},
          {"ne", ExpressionOp::NotEqual},
          {"lt", ExpressionOp::Less},
          {"le", ExpressionOp::LessEqual},
          {"gt", ExpressionOp::Greater},
          {"ge", ExpressionOp::GreaterEqual},
      }};
      for (const auto& [word, op] : kWords) {
        if (token.text == word) {
          return op;
        }
      }
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

bool IsWord(const Token& token, std::string_view word) {
  return token.kind == Token::Kind::Name && token.text == word;
}

// One character of UTF-8: what the decimal mark and the group may be.
bool IsOneCharacter(std::string_view text) {
  if (text.empty()) {
    return false;
  }
  const Utf8Character character = NextUtf8Character(text);
  return character.length == text.size();
}

class Parser {
 public:
  Parser(ExpressionProgram& program, std::string_view text, const TextPositions& positions,
         std::vector<FieldReference>& fields)
      : m_program(program),
        m_positions(positions),
        m_fields(fields),
        m_tokens(Tokenizer(text, positions).tokens()),
        m_expression(program.roots.size()) {}

  std::size_t compile() {
    m_program.uses.emplace_back();
    if (current().kind == Token::Kind::End) {
      throw TemplateError(at(current()), "the expression is empty");
    }
    const std::uint32_t root = orExpression();
    if (current().kind != Token::Kind::End) {
      throw TemplateError(at(current()),
                          "unexpected '" + std::string(current().text) + "' after the expression");
    }
    m_program.roots.push_back(root);
    return m_expression;
  }

 private:
  // Counts the parser's own recursion, which nesting drives.
  class Nesting {
   public:
    explicit Nesting(Parser& parser) : m_parser(parser) {
      if (++m_parser.m_nesting > kExpressionMaxDepth) {
        throw TemplateError(
            m_parser.at(m_parser.current()),
            "the expression nests deeper than " + std::to_string(kExpressionMaxDepth));
      }
    }
    ~Nesting() { --m_parser.m_nesting; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

   private:
    Parser& m_parser;
  };

  const Token& current() const { return m_tokens[m_next]; }
  const Token& take() { return m_tokens[m_next == m_tokens.size() - 1 ? m_next : m_next++]; }
  TemplatePosition at(const Token& token) const { return m_positions(token.offset); }

  std::uint32_t node(ExpressionOp op, const Token& where,
                     std::initializer_list<std::uint32_t> operands, std::uint32_t index = 0) {
    return node(op, at(where), std::vector<std::uint32_t>(operands), index);
  }

  std::uint32_t node(ExpressionOp op, TemplatePosition where,
                     const std::vector<std::uint32_t>& operands, std::uint32_t index = 0) {
    std::uint32_t depth = 1;
    for (const std::uint32_t operand : operands) {
      depth = std::max(depth, m_depths[operand - m_firstNode] + 1);
    }
    if (depth > kExpressionMaxDepth) {
      throw TemplateError(
          where, "the expression nests deeper than " + std::to_string(kExpressionMaxDepth));
    }
    ExpressionNode made;
    made.op = op;
    made.first = static_cast<std::uint32_t>(m_program.operands.size());
    made.count = static_cast<std::uint32_t>(operands.size());
    made.index = index;
    made.at = where;
    m_program.operands.insert(m_program.operands.end(), operands.begin(), operands.end());
    m_program.nodes.push_back(made);
    m_depths.push_back(depth);
    return static_cast<std::uint32_t>(m_program.nodes.size() - 1);
  }

  std::uint32_t constant(ExpressionValue value, TemplatePosition where) {
    m_program.constants.push_back(std::move(value));
    return node(ExpressionOp::Constant, where, {},
                static_cast<std::uint32_t>(m_program.constants.size() - 1));
  }

  const ExpressionValue* constantOf(std::uint32_t id) const {
    const ExpressionNode& made = m_program.nodes[id];
    return made.op == ExpressionOp::Constant ? &m_program.constants[made.index] : nullptr;
  }

  std::uint32_t orExpression() {
    std::uint32_t left = andExpression();
    while (IsWord(current(), "or")) {
      const Token& op = take();
      left = node(ExpressionOp::Or, op, {left, andExpression()});
    }
    return left;
  }

  std::uint32_t andExpression() {
    std::uint32_t left = comparison();
    while (IsWord(current(), "and")) {
      const Token& op = take();
      left = node(ExpressionOp::And, op, {left, comparison()});
    }
    return left;
  }

  std::uint32_t comparison() {
    const std::uint32_t left = additive();
    const auto op = Comparison(current());
    if (!op) {
      return left;
    }
    const Token& opToken = take();
    const std::uint32_t right = additive();
    if (Comparison(current())) {
      throw TemplateError(at(current()),
                          "comparisons do not chain: join them with 'and', or use parentheses");
    }
    return node(*op, opToken, {left, right});
  }

  std::uint32_t additive() {
    std::uint32_t left = multiplicative();
    while (current().kind == Token::Kind::Plus || current().kind == Token::Kind::Minus) {
      const Token& op = take();
      const ExpressionOp kind =
          op.kind == Token::Kind::Plus ? ExpressionOp::Add : ExpressionOp::Subtract;
      left = node(kind, op, {left, multiplicative()});
    }
    return left;
  }

  std::uint32_t multiplicative() {
    std::uint32_t left = unary();
    while (current().kind == Token::Kind::Times || current().kind == Token::Kind::Divide) {
      const Token& op = take();
      const ExpressionOp kind =
          op.kind == Token::Kind::Times ? ExpressionOp::Multiply : ExpressionOp::Divide;
      left = node(kind, op, {left, unary()});
    }
    return left;
  }

  std::uint32_t unary() {
    if (current().kind == Token::Kind::Minus) {
      const Nesting nesting(*this);
      const Token& op = take();
      return node(ExpressionOp::Negate, op, {unary()});
    }
    return primary();
  }

  std::uint32_t primary() {
    const Nesting nesting(*this);
    const Token& token = take();
    switch (token.kind) {
      case Token::Kind::Number:
        return number(token);
      case Token::Kind::String:
        return constant(ExpressionValue::Text(token.value), at(token));
      case Token::Kind::Field:
        return field(token);
      case Token::Kind::Open: {
        const std::uint32_t inner = orExpression();
        expect(Token::Kind::Close, "')'");
        return inner;
      }
      case Token::Kind::Name:
        return call(token);
      case Token::Kind::End:
        throw TemplateError(at(token), "a value is missing at the end of the expression");
      default:
        throw TemplateError(at(token),
                            "a value is missing before '" + std::string(token.text) + "'");
    }
  }

  void expect(Token::Kind kind, const char* shown) {
    if (current().kind != kind) {
      const std::string found = current().kind == Token::Kind::End
                                    ? "the end of the expression"
                                    : "'" + std::string(current().text) + "'";
      throw TemplateError(at(current()), std::string("expected ") + shown + ", found " + found);
    }
    take();
  }

  std::uint32_t number(const Token& token) {
    const DecimalReading reading = ReadDecimal(token.text);
    if (reading.status != DecimalReading::Status::Number) {
      throw TemplateError(at(token), "number out of range: " + std::string(token.text));
    }
    return constant(ExpressionValue::Number(reading.value), at(token));
  }

  std::uint32_t field(const Token& token) {
    FieldReference reference = ReadFieldReference(token.value, at(token), '[', ']');
    const std::size_t index = m_fields.size();
    m_program.fieldLabels[index] =
        reference.number == 0 ? reference.name : "#" + std::to_string(reference.number);
    if (m_aggregate == nullptr) {
      uses().bareFields.push_back(reference.at);
    }
    m_fields.push_back(std::move(reference));
    return node(ExpressionOp::Field, at(token), {}, static_cast<std::uint32_t>(index));
  }

  ExpressionUses& uses() { return m_program.uses[m_expression]; }

  std::vector<std::uint32_t> arguments() {
    std::vector<std::uint32_t> result;
    expect(Token::Kind::Open, "'('");
    if (current().kind == Token::Kind::Close) {
      take();
      return result;
    }
    for (;;) {
      result.push_back(orExpression());
      if (current().kind == Token::Kind::Comma) {
        take();
        continue;
      }
      expect(Token::Kind::Close, "',' or ')'");
      return result;
    }
  }

  std::uint32_t call(const Token& name) {
    if (current().kind != Token::Kind::Open) {
      throw TemplateError(at(name), "'" + std::string(name.text) +
                                        "' is not a value: a function is called with (...)");
    }
    for (const AggregateSignature& signature : kAggregates) {
      if (name.text == signature.name) {
        return aggregate(name, signature);
      }
    }
    const auto signature =
        std::find_if(kFunctions.begin(), kFunctions.end(),
                     [&](const FunctionSignature& f) { return f.name == name.text; });
    if (signature == kFunctions.end()) {
      throw TemplateError(at(name), "unknown function '" + std::string(name.text) + "'");
    }
    const bool literalFirst = m_tokens[m_next + 1].kind == Token::Kind::String &&
                              (m_tokens[m_next + 2].kind == Token::Kind::Comma ||
                               m_tokens[m_next + 2].kind == Token::Kind::Close);
    const std::vector<std::uint32_t> args = arguments();
    if (args.size() < signature->least ||
        (signature->most != kMany && args.size() > signature->most) ||
        (signature->op == ExpressionOp::Number && args.size() == 2)) {
      throw TemplateError(
          at(name), ArgumentCount(signature->name, signature->least, signature->most, args.size()));
    }
    if (signature->name == "param") {
      return parameter(name, args, literalFirst);
    }
    std::uint32_t index = 0;
    checkLiterals(name, signature->op, args, index);
    noteUse(signature->op, at(name));
    return node(signature->op, at(name), args, index);
  }

  void noteUse(ExpressionOp op, TemplatePosition where) {
    if (m_aggregate != nullptr) {
      return;
    }
    std::optional<TemplatePosition>* use = op == ExpressionOp::Line       ? &uses().line
                                           : op == ExpressionOp::Position ? &uses().position
                                           : op == ExpressionOp::Item     ? &uses().item
                                                                          : nullptr;
    if (use != nullptr && !*use) {
      *use = where;
    }
  }

  // What the template can be told before any input: arguments that must be
  // literals, and literals no input can make right.
  void checkLiterals(const Token& name, ExpressionOp op, const std::vector<std::uint32_t>& args,
                     std::uint32_t& index) {
    const auto position = [&](std::size_t i) { return m_program.nodes[args[i]].at; };
    if (op == ExpressionOp::Format) {
      const ExpressionValue* places = constantOf(args[1]);
      const auto whole =
          places != nullptr && places->isNumber() ? places->number().wholeValue() : std::nullopt;
      if (!whole || *whole < 0 || *whole > kDecimalPlaces) {
        throw TemplateError(position(1),
                            "format: the places must be a whole number from 0 to 20, "
                            "written as a number");
      }
      index = static_cast<std::uint32_t>(*whole);
    } else if (op == ExpressionOp::Replace) {
      const ExpressionValue* find = constantOf(args[1]);
      if (find != nullptr && !find->isTrue()) {
        throw TemplateError(position(1), "replace: the text to find is empty");
      }
    } else if (op == ExpressionOp::Number && args.size() == 3) {
      const ExpressionValue* mark = constantOf(args[1]);
      const ExpressionValue* group = constantOf(args[2]);
      if (mark != nullptr && !IsOneCharacter(mark->written())) {
        throw TemplateError(position(1), "number: the decimal mark must be one character");
      }
      if (group != nullptr && !group->written().empty() && !IsOneCharacter(group->written())) {
        throw TemplateError(position(2), "number: the group separator must be one character or ''");
      }
      if (mark != nullptr && group != nullptr && mark->written() == group->written()) {
        throw TemplateError(position(2),
                            "number: the group separator is the same as the decimal mark");
      }
    } else if (op == ExpressionOp::Date || op == ExpressionOp::DateTime) {
      if (const ExpressionValue* pattern = constantOf(args[1])) {
        if (const auto problem = DatePatternProblem(pattern->written())) {
          throw TemplateError(position(1), std::string(name.text) + ": " + *problem);
        }
      }
    }
  }

  std::uint32_t parameter(const Token& name, const std::vector<std::uint32_t>& args,
                          bool literalFirst) {
    const ExpressionValue* key = constantOf(args[0]);
    if (!literalFirst || key == nullptr || !key->isText()) {
      throw TemplateError(m_program.nodes[args[0]].at,
                          "param: the name must be a string in quotes");
    }
    const std::string wanted(key->text());
    const auto given = m_program.parameters.find(wanted);
    if (given != m_program.parameters.end()) {
      return constant(ExpressionValue::Text(given->second), at(name));
    }
    if (args.size() == 2) {
      return args[1];
    }
    throw TemplateError(at(name),
                        "parameter '" + wanted + "' is not given (--param " + wanted + "=VALUE)");
  }

  std::uint32_t aggregate(const Token& name, const AggregateSignature& signature) {
    if (m_aggregate != nullptr) {
      throw TemplateError(at(name), "'" + std::string(name.text) + "' inside '" +
                                        std::string(m_aggregate->text) +
                                        "': an aggregate cannot stand in another's argument");
    }
    m_aggregate = &name;
    std::vector<std::uint32_t> args = arguments();
    m_aggregate = nullptr;
    const std::size_t most = 1;
    if (args.size() < signature.least || args.size() > most) {
      throw TemplateError(at(name),
                          ArgumentCount(signature.name, signature.least, most, args.size()));
    }
    const std::size_t site = m_program.sites.size();
    m_program.sites.push_back({signature.kind, at(name), m_expression});
    m_program.siteArguments.push_back(args.empty() ? ExpressionProgram::kNoNode : args[0]);
    uses().sites.push_back(site);
    return node(ExpressionOp::Aggregate, at(name), {}, static_cast<std::uint32_t>(site));
  }

  ExpressionProgram& m_program;
  const TextPositions& m_positions;
  std::vector<FieldReference>& m_fields;
  std::vector<Token> m_tokens;
  std::size_t m_next = 0;
  std::size_t m_expression;
  const Token* m_aggregate = nullptr;  ///< the aggregate whose argument is being read
  int m_nesting = 0;
  std::uint32_t m_firstNode = static_cast<std::uint32_t>(m_program.nodes.size());
  std::vector<std::uint32_t> m_depths;  ///< per node made here
};

}  // namespace

std::size_t CompileExpression(ExpressionProgram& program, std::string_view text,
                              const TextPositions& positions, std::vector<FieldReference>& fields) {
  // A template error leaves the program as it was, every expression whole.
  const std::size_t nodes = program.nodes.size();
  const std::size_t operands = program.operands.size();
  const std::size_t constants = program.constants.size();
  const std::size_t uses = program.uses.size();
  const std::size_t sites = program.sites.size();
  try {
    return Parser(program, text, positions, fields).compile();
  } catch (const TemplateError&) {
    program.nodes.resize(nodes);
    program.operands.resize(operands);
    program.constants.resize(constants);
    program.uses.resize(uses);
    program.sites.resize(sites);
    program.siteArguments.resize(sites);
    throw;
  }
}

}  // namespace rowvane
