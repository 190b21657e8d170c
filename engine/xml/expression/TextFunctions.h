#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rowvane {

// The text functions of expressions. Texts are UTF-8; a byte that starts no
// valid character counts as one character and is kept as it stands.

/// Unicode's full case mapping, the same in every locale (`ß` gives `SS`).
void AppendUpper(std::string_view text, std::string& out);
void AppendLower(std::string_view text, std::string& out);

/// `text` without the Unicode White_Space characters at its ends.
std::string_view TrimWhiteSpace(std::string_view text);

/// The number of characters (code points).
std::uint64_t CodePointCount(std::string_view text);

/// Up to `length` characters from the `start`th (from 1); `start` below 1
/// counts as 1, and a negative length as 0.
std::string_view CodePointRange(std::string_view text, std::int64_t start, std::int64_t length);

/// Every non-overlapping `find` (not empty) in `text`, left to right, replaced
/// by `with`. False, with `out` cut short, when `out` would grow past `limit` bytes.
bool AppendReplaced(std::string_view text, std::string_view find, std::string_view with,
                    std::size_t limit, std::string& out);

}  // namespace rowvane
