#include "cli/DisplayEscape.h"

#include <array>

#include "text/Utf8.h"

namespace rowvane::cli {
namespace {

constexpr std::string_view kHexDigits = "0123456789abcdef";

bool IsControl(std::string_view sequence) {
  const auto first = static_cast<unsigned char>(sequence.front());
  if (sequence.size() == 1) {
    return first < 0x20 || first == 0x7f;
  }
  // U+0080 to U+009F, the C1 controls, which some terminals obey.
  return sequence.size() == 2 && first == 0xc2 && static_cast<unsigned char>(sequence[1]) < 0xa0;
}

std::array<char, 4> HexEscape(unsigned char byte) {
  return {'\\', 'x', kHexDigits[byte >> 4], kHexDigits[byte & 0xf]};
}

// Calls `put(std::string_view)` with the pieces of the escaped text, in order.
template <typename Put>
void Escape(std::string_view text, Put&& put) {
  while (!text.empty()) {
    const std::size_t length = NextUtf8Character(text).length;
    const std::string_view sequence = text.substr(0, length == 0 ? 1 : length);
    text.remove_prefix(sequence.size());
    if (length != 0 && !IsControl(sequence)) {
      put(sequence == "\\" ? std::string_view("\\\\") : sequence);
    } else if (sequence == "\t") {
      put("\\t");
    } else if (sequence == "\n") {
      put("\\n");
    } else if (sequence == "\r") {
      put("\\r");
    } else {
      for (const char byte : sequence) {
        const std::array<char, 4> escaped = HexEscape(static_cast<unsigned char>(byte));
        put(std::string_view(escaped.data(), escaped.size()));
      }
    }
  }
}

}  // namespace

std::string EscapeForDisplay(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  Escape(text, [&escaped](std::string_view piece) { escaped += piece; });
  return escaped;
}

void WriteEscaped(std::ostream& out, std::string_view text) {
  Escape(text, [&out](std::string_view piece) { out << piece; });
}

}  // namespace rowvane::cli
