#pragma once

#include <cstdint>
#include <string_view>

namespace rowvane {

/// Checks UTF-8 fed in pieces of any size: no overlong forms, no surrogates,
/// nothing above U+10FFFF.
class Utf8Validator {
 public:
  /// False once the bytes seen so far cannot be valid UTF-8.
  bool feed(std::string_view bytes);
  /// False when the input ended inside a character.
  bool finish() const { return m_valid && m_pending == 0; }

 private:
  bool m_valid = true;
  int m_pending = 0;            // continuation bytes still expected
  std::uint8_t m_lower = 0x80;  // bounds of the next continuation byte
  std::uint8_t m_upper = 0xBF;
};

}  // namespace rowvane
