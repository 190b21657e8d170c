// The folder walk's pattern matcher: never crashes, stays fast, and keeps the
// plain rules of "*" and "?".
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "filelist/WildcardMatch.h"

namespace {

void Require(bool condition) {
  if (!condition) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t split = bytes.find('\0');
  const std::string_view pattern = bytes.substr(0, split);
  const std::string_view name = split == std::string_view::npos ? "" : bytes.substr(split + 1);

  const bool matches = rowvane::MatchesWildcard(pattern, name);
  Require(rowvane::MatchesWildcard("*", name));
  if (name.find_first_of("*?") == std::string_view::npos) {
    Require(rowvane::MatchesWildcard(name, name));  // a plain name matches itself
  }
  // A star in front can only widen what matches.
  if (matches) {
    Require(rowvane::MatchesWildcard(std::string("*") + std::string(pattern), name));
  }
  // "?" stands for exactly one character: an ASCII letter is one.
  const auto isAscii = [](std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c > 0; });
  };
  if (isAscii(pattern) && isAscii(name) && !pattern.ends_with('*')) {
    Require(rowvane::MatchesWildcard(std::string(pattern) + "?", std::string(name) + "x") ==
            matches);
  }
  return 0;
}
