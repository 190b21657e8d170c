#include "engine/xml/TemplatePlaceholders.h"

#include <charconv>
#include <string>

#include "engine/xml/expression/TemplateExpressions.h"

namespace rowvane {
namespace {

// A number from 1 without leading zeros, or nothing.
std::optional<std::size_t> FieldNumber(std::string_view digits) {
  if (digits.empty() || digits.front() < '1' || digits.front() > '9') {
    return std::nullopt;
  }
  std::size_t number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (end != digits.data() + digits.size()) {
    return std::nullopt;
  }
  if (error == std::errc::result_out_of_range) {
    return static_cast<std::size_t>(-1);  // past every input's fields
  }
  return number;
}

void AppendLiteral(TemplateText& text, std::string_view bytes) {
  if (bytes.empty()) {
    return;
  }
  if (text.empty() || text.back().field != TemplateSegment::kLiteral ||
      text.back().expression != TemplateSegment::kNone) {
    text.emplace_back();
  }
  text.back().literal.append(bytes);
}

// Where the expression starting at `at` ends: the first `}` outside its
// string literals ('...' and "...", the delimiter doubled inside); a field's
// brackets hold no literal, so a quote in a header name starts none.
std::size_t ExpressionEnd(std::string_view text, std::size_t at) {
  char closing = '\0';  // the literal's or the field's end while inside one
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (closing == '\0') {
      if (c == '}') {
        return at;
      }
      closing = c == '\'' || c == '"' ? c : c == '[' ? ']' : '\0';
    } else if (c == '}' && closing == ']') {
      return at;
    } else if (c == closing) {
      if (at + 1 < text.size() && text[at + 1] == closing) {
        ++at;  // doubled: stands for itself
      } else {
        closing = '\0';
      }
    }
  }
  return std::string_view::npos;
}

}  // namespace

FieldReference ReadFieldReference(std::string_view inside, TemplatePosition at, char open,
                                  char close) {
  FieldReference field{std::string(inside), 0, at};
  if (inside == "#0") {
    throw TemplateError(at, std::string{open} + "#0" + close + ": fields are numbered from 1");
  }
  if (inside.starts_with('#')) {
    if (const auto number = FieldNumber(inside.substr(1))) {
      field.name.clear();
      field.number = *number;
    }
  }
  return field;
}

TemplateText ReadPlaceholders(std::string_view text, const TextPositions& positions,
                              std::vector<FieldReference>& fields,
                              TemplateExpressions* expressions) {
  TemplateText result;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t brace = text.find_first_of("{}", at);
    if (brace == std::string_view::npos) {
      AppendLiteral(result, text.substr(at));
      break;
    }
    AppendLiteral(result, text.substr(at, brace - at));
    const bool doubled = brace + 1 < text.size() && text[brace + 1] == text[brace];
    if (text[brace] == '}' || doubled) {
      AppendLiteral(result, text.substr(brace, 1));
      at = brace + (doubled ? 2 : 1);
      continue;
    }
    if (expressions != nullptr && brace + 1 < text.size() && text[brace + 1] == '=') {
      const std::size_t start = brace + 2;
      const std::size_t end = ExpressionEnd(text, start);
      if (end == std::string_view::npos) {
        throw TemplateError(positions(brace), "'{=' without a closing '}'");
      }
      TemplateSegment segment;
      segment.expression = expressions->compile(
          text.substr(start, end - start),
          [&positions, start](std::size_t offset) { return positions(start + offset); }, fields);
      result.push_back(std::move(segment));
      at = end + 1;
      continue;
    }
    const std::size_t close = text.find('}', brace + 1);
    if (close == std::string_view::npos) {
      throw TemplateError(positions(brace), "'{' without a closing '}'");
    }
    const std::string_view inside = text.substr(brace + 1, close - brace - 1);
    FieldReference field = ReadFieldReference(inside, positions(brace), '{', '}');
    TemplateSegment segment;
    segment.field = fields.size();
    fields.push_back(std::move(field));
    result.push_back(std::move(segment));
    at = close + 1;
  }
  return result;
}

}  // namespace rowvane
