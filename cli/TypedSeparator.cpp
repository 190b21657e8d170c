#include "cli/TypedSeparator.h"

#include <array>
#include <utility>

namespace rowvane::cli {
namespace {

struct NamedSeparator {
  std::string_view name;
  std::string_view text;
};

constexpr std::array<NamedSeparator, 5> kNamedSeparators = {
    {{"tab", "\t"}, {"comma", ","}, {"semicolon", ";"}, {"pipe", "|"}, {"space", " "}}};

int HexValue(char digit) {
  if (digit >= '0' && digit <= '9') {
    return digit - '0';
  }
  if (digit >= 'a' && digit <= 'f') {
    return digit - 'a' + 10;
  }
  if (digit >= 'A' && digit <= 'F') {
    return digit - 'A' + 10;
  }
  return -1;
}

SeparatorProblem Problem(std::string_view typed, std::string_view why) {
  return {"--separator '" + std::string(typed) + "': " + std::string(why) +
          "; use \\t, \\\\ or \\xHH, or a name: tab, comma, semicolon, pipe, space"};
}

}  // namespace

std::variant<std::string, SeparatorProblem> SeparatorFromTyped(std::string_view typed) {
  for (const NamedSeparator& named : kNamedSeparators) {
    if (typed == named.name) {
      return std::string(named.text);
    }
  }
  std::string separator;
  for (std::size_t i = 0; i < typed.size(); ++i) {
    if (typed[i] != '\\') {
      separator.push_back(typed[i]);
      continue;
    }
    const std::string_view escape = typed.substr(i + 1);
    if (escape.starts_with('t')) {
      separator.push_back('\t');
      i += 1;
    } else if (escape.starts_with('\\')) {
      separator.push_back('\\');
      i += 1;
    } else if (escape.starts_with('x')) {
      const int high = escape.size() >= 3 ? HexValue(escape[1]) : -1;
      const int low = escape.size() >= 3 ? HexValue(escape[2]) : -1;
      if (high < 0 || low < 0) {
        return Problem(typed, "\\x needs two hexadecimal digits");
      }
      if (high > 7) {
        // Inputs are read as UTF-8 text, where a single byte above 7F never occurs.
        return Problem(typed, "\\x goes up to \\x7F; type other characters as they are");
      }
      separator.push_back(static_cast<char>(high * 16 + low));
      i += 3;
    } else {
      return Problem(typed, "unknown escape");
    }
  }
  return separator;
}

}  // namespace rowvane::cli
