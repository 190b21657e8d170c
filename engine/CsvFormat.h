#pragma once

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

}  // namespace rowvane
