#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/core/Encoding.h"
#include "text/Utf8.h"
#include "text/Utf8Validator.h"

namespace rowvane {

/// The encoding a file's first bytes announce, and the length of the mark.
/// Without a mark the text is taken as UTF-8 (the caller falls back to
/// Windows-1252 when it turns out not to be valid UTF-8).
struct ByteOrderMark {
  Encoding encoding = Encoding::Utf8;
  std::size_t length = 0;
};
/// `head` holds the first bytes of the file (up to 3; fewer when the file is shorter).
ByteOrderMark DetectByteOrderMark(std::string_view head);

/// Turns bytes in UTF-8, Windows-1252 or UTF-16 into UTF-8, in pieces of any size.
class TextDecoder {
 public:
  explicit TextDecoder(Encoding encoding) : m_encoding(encoding) {}
  /// Appends the UTF-8 form of `bytes` to `out`. For Encoding::Utf8 valid
  /// bytes are copied as they are, and each ill-formed sequence (its longest
  /// start that could still have become a character, or one stray byte)
  /// becomes one U+FFFD.
  void decode(std::string_view bytes, std::string& out);
  /// Flushes what is left at the end of the input: an unpaired high
  /// surrogate or an unfinished UTF-8 character becomes U+FFFD. An odd last
  /// byte of UTF-16 becomes U+FFFD at the end of the last line, and is
  /// dropped after a line break (CR or LF) or alone, so it never starts a line.
  void finish(std::string& out);
  /// Ill-formed UTF-8 sequences replaced by U+FFFD so far.
  std::uint64_t utf8Replacements() const { return m_utf8Replacements; }
  /// Ill-formed UTF-16 so far: lone surrogates (each one U+FFFD) and an odd last byte.
  std::uint64_t utf16Replacements() const { return m_utf16Replacements; }

 private:
  void decodeUtf8(std::string_view bytes, std::string& out);
  void replaceUtf8Sequence(std::string& out);
  void decodeUtf16(std::string_view bytes, std::string& out);
  void emitUnit(std::uint16_t unit, std::string& out);
  void replaceUtf16Unit(std::string& out);

  Encoding m_encoding;
  int m_oddByte = -1;                 // first byte of an incomplete UTF-16 unit
  std::uint16_t m_highSurrogate = 0;  // pending high surrogate, 0 when none
  bool m_lineOpen = false;            // UTF-16 text so far ends in neither CR nor LF
  std::array<char, 4> m_partial{};    // bytes of an unfinished UTF-8 character
  std::size_t m_partialLength = 0;
  int m_pending = 0;            // continuation bytes the unfinished character still needs
  std::uint8_t m_lower = 0x80;  // bounds of its next continuation byte
  std::uint8_t m_upper = 0xBF;
  std::uint64_t m_utf8Replacements = 0;
  std::uint64_t m_utf16Replacements = 0;
};

}  // namespace rowvane
