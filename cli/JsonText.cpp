#include "cli/JsonText.h"

#include <array>

namespace rowvane::cli {

std::string JsonString(std::string_view utf8) {
  constexpr std::array<char, 16> kHex = {'0', '1', '2', '3', '4', '5', '6', '7',
                                         '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
  std::string json;
  json.reserve(utf8.size() + 2);
  json.push_back('"');
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json.push_back('\\');
      json.push_back(c);
    } else if (c == '\n') {
      json += "\\n";
    } else if (c == '\r') {
      json += "\\r";
    } else if (c == '\t') {
      json += "\\t";
    } else if (byte < 0x20) {
      json += "\\u00";
      json.push_back(kHex[byte >> 4]);
      json.push_back(kHex[byte & 0xF]);
    } else {
      json.push_back(c);
    }
  }
  json.push_back('"');
  return json;
}

}  // namespace rowvane::cli
