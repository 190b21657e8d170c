#pragma once

#include <string>
#include <string_view>

namespace rowvane {

/// U+FFFD in UTF-8: what a character XML forbids is written as.
inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

/// The characters of XML 1.0 Fourth Edition, Appendix B, that may begin a
/// name (Letter and `_`). Every parser accepts these; the Fifth Edition's wider
/// set is refused by widespread parsers, and `:` is left out for namespaces.
bool IsXmlNameStartChar(char32_t c);
/// The characters that may follow in a name: Letter, Digit, CombiningChar,
/// Extender, `.`, `-` and `_` (again without `:`).
bool IsXmlNameChar(char32_t c);
/// Characters XML 1.0 does not allow anywhere in a document.
bool IsForbiddenInXml(char32_t c);

/// `name` made into a name every parser accepts: each character that may not
/// stand in a name becomes one `_`, and `_` goes in front when the first
/// character may not begin a name. An empty name gives `whenEmpty`. Bytes
/// that are not UTF-8 count as characters that may not stand in a name.
std::string FixXmlName(std::string_view name, std::string_view whenEmpty);

/// The entity a byte of a value is written as (`&`, `<`, `>` and CR), or an
/// empty view when it is written as it is.
constexpr std::string_view XmlEntityFor(char c) {
  switch (c) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '\r':
      return "&#13;";  // a parser gives back the CR instead of folding it into a line break
    default:
      return {};
  }
}

}  // namespace rowvane
