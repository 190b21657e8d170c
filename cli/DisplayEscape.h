#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace rowvane::cli {

/// Text from outside the program (file names, folder names, system messages)
/// as rowvane-cli shows it, so that a name can neither break a message into
/// two lines nor send commands to the terminal, and two different names never
/// look alike. C-style escapes:
///   backslash               "\\"
///   tab, line feed, CR      "\t", "\n", "\r"
///   other control bytes     "\xHH": always two lowercase hex digits
///                           (0x00-0x1f, 0x7f, and the bytes of the UTF-8
///                           encoded controls U+0080 to U+009F)
///   bytes that are not part of valid UTF-8   "\xHH" as well
/// Everything else, printable UTF-8 included, is shown as it is.
std::string EscapeForDisplay(std::string_view text);

/// Writes EscapeForDisplay(text) to `out` without asking for memory, for the
/// moments when there is none.
void WriteEscaped(std::ostream& out, std::string_view text);

}  // namespace rowvane::cli
