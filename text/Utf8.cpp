#include "text/Utf8.h"

namespace rowvane {

Utf8Character NextUtf8Character(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text.front());
  if (lead < 0x80) {
    return {lead, 1};
  }
  int pending = 0;
  std::uint8_t lower = 0;
  std::uint8_t upper = 0;
  if (!StartUtf8Sequence(lead, pending, lower, upper) ||
      text.size() <= static_cast<std::size_t>(pending)) {
    return {};
  }
  // The lead keeps 5, 4 or 3 bits for 1, 2 or 3 continuation bytes.
  char32_t value = lead & (0x3FU >> pending);
  for (int i = 1; i <= pending; ++i) {
    const auto next = static_cast<unsigned char>(text[static_cast<std::size_t>(i)]);
    if (next < lower || next > upper) {
      return {};
    }
    value = (value << 6U) | (next & 0x3FU);
    lower = 0x80;
    upper = 0xBF;
  }
  return {value, static_cast<std::size_t>(pending) + 1};
}

bool IsValidUtf8(std::string_view text) {
  while (!text.empty()) {
    const std::size_t length = NextUtf8Character(text).length;
    if (length == 0) {
      return false;
    }
    text.remove_prefix(length);
  }
  return true;
}

std::optional<std::u32string> DecodeUtf8(std::string_view text) {
  std::u32string result;
  result.reserve(text.size());
  while (!text.empty()) {
    const Utf8Character character = NextUtf8Character(text);
    if (character.length == 0) {
      return std::nullopt;
    }
    result.push_back(character.value);
    text.remove_prefix(character.length);
  }
  return result;
}

std::u32string DecodeUtf8Leniently(std::string_view text) {
  std::u32string result;
  result.reserve(text.size());
  while (!text.empty()) {
    const Utf8Character character = NextUtf8Character(text);
    if (character.length != 0) {
      result.push_back(character.value);
      text.remove_prefix(character.length);
    } else {
      result.push_back(0xDC00U + static_cast<unsigned char>(text.front()));
      text.remove_prefix(1);
    }
  }
  return result;
}

void AppendUtf8(char32_t codePoint, std::string& out) {
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

}  // namespace rowvane
