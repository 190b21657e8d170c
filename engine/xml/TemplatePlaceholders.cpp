#include "engine/xml/TemplatePlaceholders.h"

#include <charconv>
#include <string>

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
  if (text.empty() || text.back().field != TemplateSegment::kLiteral) {
    text.emplace_back();
  }
  text.back().literal.append(bytes);
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
                              std::vector<FieldReference>& fields) {
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
