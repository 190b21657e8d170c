#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace rowvane {

/// The one rule for what a UTF-8 lead byte announces: how many continuation
/// bytes follow it and the bounds of the first of them (later ones lie in
/// 0x80-0xBF). The bounds leave out overlong forms, surrogates and values
/// above U+10FFFF. False for a byte that can never start a character (ASCII
/// included: it needs no sequence). Inline, for the decoders' hot loops.
inline bool StartUtf8Sequence(unsigned char lead, int& pending, std::uint8_t& lower,
                              std::uint8_t& upper) {
  lower = 0x80;
  upper = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    pending = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    pending = 2;
    lower = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
    upper = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    pending = 3;
    lower = lead == 0xF0 ? 0x90 : 0x80;
    upper = lead == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
  } else {
    return false;
  }
  return true;
}

/// True when the eight bytes at `p` are all ASCII: a run the decoders copy
/// without looking at each byte.
inline bool IsAscii8(const unsigned char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return (word & 0x8080808080808080ULL) == 0;
}

/// A character read from the start of some bytes.
struct Utf8Character {
  char32_t value = 0;
  /// Its length in bytes; 0 when no valid character starts there.
  std::size_t length = 0;
};

/// The character at the start of `text` (which must not be empty), or length
/// 0 when the bytes there are not valid UTF-8 (cut off, overlong, a
/// surrogate, beyond U+10FFFF, a stray continuation byte).
Utf8Character NextUtf8Character(std::string_view text);

/// True when `text` is valid UTF-8.
bool IsValidUtf8(std::string_view text);

/// Code points of UTF-8 text; nothing when the text is not valid UTF-8.
std::optional<std::u32string> DecodeUtf8(std::string_view text);

/// Code points of any byte string: a byte that does not start a valid
/// sequence stands for itself as U+DC80 to U+DCFF, values that valid text
/// never holds. Lets names that are not UTF-8 be matched and ordered.
std::u32string DecodeUtf8Leniently(std::string_view text);

/// Appends the UTF-8 form of `codePoint` to `out`.
void AppendUtf8(char32_t codePoint, std::string& out);

}  // namespace rowvane
