#pragma once

#include <cstdint>
#include <optional>

namespace rowvane {

/// What a conversion noticed about its input that the user may want to know.
/// None of it keeps the output from being written.
struct ConversionWarnings {
  /// The input ended inside a quoted field that began on this line (counted
  /// from 1 by the line breaks in force, those inside quoted fields included).
  std::optional<std::uint64_t> unterminatedQuoteLine;
  /// Characters XML 1.0 forbids, written as U+FFFD.
  std::uint64_t replacedCharacters = 0;
  /// Lines end at CR LF only, and the text holds LF but no CR LF: it is all one line.
  bool lineFeedsWithoutCrLf = false;
  /// Ill-formed UTF-8 sequences read as U+FFFD; only an input read as UTF-8
  /// by the caller's choice has any (detection falls back to Windows-1252).
  std::uint64_t utf8Replacements = 0;
  /// Values past the last field a file names (by its header, or by its first
  /// line without one): they have no element to go in, so they are not written.
  std::uint64_t droppedValues = 0;
  /// Ill-formed UTF-16: lone surrogates read as U+FFFD, and an odd last byte
  /// (U+FFFD at the end of the last line, dropped where it would begin one).
  std::uint64_t utf16Replacements = 0;

  bool any() const {
    return unterminatedQuoteLine.has_value() || replacedCharacters > 0 || lineFeedsWithoutCrLf ||
           utf8Replacements > 0 || droppedValues > 0 || utf16Replacements > 0;
  }
  friend bool operator==(const ConversionWarnings&, const ConversionWarnings&) = default;
};

}  // namespace rowvane
