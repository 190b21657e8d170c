#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "engine/core/OutputLayout.h"

namespace rowvane {

/// Where lines end, outside quoted fields.
enum class LineBreaks {
  CrLf,  ///< only CR LF; a lone CR or LF is an ordinary character
  Any,   ///< CR LF, LF alone and CR alone; empty lines carry no record
};

/// What quotation marks mean.
enum class Quotes {
  None,    ///< ordinary characters
  Double,  ///< a field that begins with `"` is quoted; `""` inside is one `"`
};

/// What is done to names and values on their way into the XML.
enum class Escaping {
  None,  ///< written as they are
  Xml,   ///< a declaration, escaped values and fixed names: well-formed XML 1.0
};

/// How input files are read and written. The classic choice is the default;
/// each of the three can be set on its own.
struct CsvFormat {
  LineBreaks lineBreaks = LineBreaks::CrLf;
  Quotes quotes = Quotes::None;
  Escaping escaping = Escaping::None;

  static constexpr CsvFormat Classic() { return {}; }
  static constexpr CsvFormat Standard() { return {LineBreaks::Any, Quotes::Double, Escaping::Xml}; }
  friend constexpr bool operator==(const CsvFormat&, const CsvFormat&) = default;
};

/// A choice and the word that names it, on the command line and in stored settings alike.
template <typename Choice>
struct FormatWord {
  Choice choice;
  std::string_view word;
};

inline constexpr std::array<FormatWord<CsvFormat>, 2> kFormatPresetWords = {
    {{CsvFormat::Classic(), "classic"}, {CsvFormat::Standard(), "standard"}}};
inline constexpr std::array<FormatWord<LineBreaks>, 2> kLineBreaksWords = {
    {{LineBreaks::CrLf, "crlf"}, {LineBreaks::Any, "any"}}};
inline constexpr std::array<FormatWord<Quotes>, 2> kQuotesWords = {
    {{Quotes::None, "none"}, {Quotes::Double, "double"}}};
inline constexpr std::array<FormatWord<Escaping>, 2> kEscapingWords = {
    {{Escaping::None, "none"}, {Escaping::Xml, "xml"}}};
/// The XML's shape; the command line names a template by its file instead.
inline constexpr std::array<FormatWord<OutputLayout>, 3> kLayoutWords = {
    {{OutputLayout::Elements, "elements"},
     {OutputLayout::FieldsAsAttributes, "attributes"},
     {OutputLayout::Template, "template"}}};

/// The word of `choice` among `words`.
template <typename Choice, std::size_t N>
constexpr std::string_view WordOf(const std::array<FormatWord<Choice>, N>& words, Choice choice) {
  for (const FormatWord<Choice>& each : words) {
    if (each.choice == choice) {
      return each.word;
    }
  }
  return {};
}

/// The choice `word` names among `words`; nothing for a word not among them.
template <typename Choice, std::size_t N>
constexpr std::optional<Choice> ChoiceNamed(const std::array<FormatWord<Choice>, N>& words,
                                            std::string_view word) {
  for (const FormatWord<Choice>& each : words) {
    if (each.word == word) {
      return each.choice;
    }
  }
  return std::nullopt;
}

}  // namespace rowvane
