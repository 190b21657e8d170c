#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rowvane {

/// Code points of UTF-8 text; nothing when the text is not valid UTF-8
/// (overlong forms, surrogates, values above U+10FFFF and cut sequences are
/// all invalid).
std::optional<std::u32string> DecodeUtf8(std::string_view text);

/// Code points of any byte string: a byte that does not start a valid
/// sequence stands for itself as U+DC80 to U+DCFF, values that valid text
/// never holds. Lets names that are not UTF-8 be matched and ordered.
std::u32string DecodeUtf8Leniently(std::string_view text);

/// True when `text` is valid UTF-8.
bool IsValidUtf8(std::string_view text);

}  // namespace rowvane
