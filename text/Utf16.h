#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rowvane {

/// The UTF-16 form of UTF-8 text (the file names and arguments of Windows);
/// nothing when `text` is not valid UTF-8.
std::optional<std::u16string> Utf16FromUtf8(std::string_view text);

/// The UTF-8 form of UTF-16 text; a lone surrogate, which no character
/// stands for, becomes U+FFFD.
std::string Utf8FromUtf16(std::u16string_view text);

}  // namespace rowvane
