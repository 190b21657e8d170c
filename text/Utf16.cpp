#include "text/Utf16.h"

#include "text/Utf8.h"

namespace rowvane {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kFirstSupplementary = 0x10000;

bool IsLeadSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsTrailSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

void AppendUtf16(char32_t codePoint, std::u16string& out) {
  if (codePoint < kFirstSupplementary) {
    out.push_back(static_cast<char16_t>(codePoint));
    return;
  }
  const char32_t offset = codePoint - kFirstSupplementary;
  out.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
}

}  // namespace

std::optional<std::u16string> Utf16FromUtf8(std::string_view text) {
  const std::optional<std::u32string> decoded = DecodeUtf8(text);
  if (!decoded) {
    return std::nullopt;
  }
  std::u16string wide;
  wide.reserve(decoded->size());
  for (const char32_t codePoint : *decoded) {
    AppendUtf16(codePoint, wide);
  }
  return wide;
}

std::string Utf8FromUtf16(std::u16string_view text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (IsLeadSurrogate(unit) && i + 1 < text.size() && IsTrailSurrogate(text[i + 1])) {
      const char32_t high = unit - 0xD800;
      const char32_t low = text[i + 1] - 0xDC00;
      AppendUtf8(kFirstSupplementary + (high << 10) + low, narrow);
      ++i;
    } else if (IsLeadSurrogate(unit) || IsTrailSurrogate(unit)) {
      AppendUtf8(kReplacement, narrow);
    } else {
      AppendUtf8(unit, narrow);
    }
  }
  return narrow;
}

}  // namespace rowvane
