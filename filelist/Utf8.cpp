#include "filelist/Utf8.h"

#include <cstddef>
#include <cstdint>

namespace rowvane {
namespace {

struct DecodedCodePoint {
  char32_t value;
  std::size_t length;
};

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0U) == 0x80U;
}

/// Decodes the sequence that starts at `pos`; nothing when it is invalid.
std::optional<DecodedCodePoint> DecodeAt(std::string_view text, std::size_t pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80U) {
    return DecodedCodePoint{lead, 1};
  }
  std::size_t length = 0;
  char32_t value = 0;
  char32_t smallest = 0;  // below this the form is overlong
  if ((lead & 0xE0U) == 0xC0U) {
    length = 2;
    value = lead & 0x1FU;
    smallest = 0x80;
  } else if ((lead & 0xF0U) == 0xE0U) {
    length = 3;
    value = lead & 0x0FU;
    smallest = 0x800;
  } else if ((lead & 0xF8U) == 0xF0U) {
    length = 4;
    value = lead & 0x07U;
    smallest = 0x10000;
  } else {
    return std::nullopt;
  }
  if (text.size() - pos < length) {
    return std::nullopt;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[pos + i]);
    if (!IsContinuation(byte)) {
      return std::nullopt;
    }
    value = (value << 6U) | (byte & 0x3FU);
  }
  const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
  if (value < smallest || value > 0x10FFFF || surrogate) {
    return std::nullopt;
  }
  return DecodedCodePoint{value, length};
}

}  // namespace

std::optional<std::u32string> DecodeUtf8(std::string_view text) {
  std::u32string result;
  result.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const auto decoded = DecodeAt(text, pos);
    if (!decoded) {
      return std::nullopt;
    }
    result.push_back(decoded->value);
    pos += decoded->length;
  }
  return result;
}

std::u32string DecodeUtf8Leniently(std::string_view text) {
  std::u32string result;
  result.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    if (const auto decoded = DecodeAt(text, pos)) {
      result.push_back(decoded->value);
      pos += decoded->length;
    } else {
      result.push_back(0xDC00U + static_cast<unsigned char>(text[pos]));
      ++pos;
    }
  }
  return result;
}

bool IsValidUtf8(std::string_view text) {
  for (std::size_t pos = 0; pos < text.size();) {
    const auto decoded = DecodeAt(text, pos);
    if (!decoded) {
      return false;
    }
    pos += decoded->length;
  }
  return true;
}

}  // namespace rowvane
