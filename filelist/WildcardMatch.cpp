#include "filelist/WildcardMatch.h"

#include <cstddef>
#include <string>

#include "filelist/CaseFolding.h"
#include "text/Utf8.h"

namespace rowvane {
namespace {

std::u32string UpperCaseCodePoints(std::string_view text) {
  std::u32string codePoints = DecodeUtf8Leniently(text);
  for (char32_t& c : codePoints) {
    c = UpperCaseOf(c);
  }
  return codePoints;
}

/// Greedy match that returns to the latest "*" on a mismatch; never needs more
/// than one saved position, so it cannot blow up on many stars.
bool Matches(const std::u32string& pattern, const std::u32string& name) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starAt = std::u32string::npos;
  std::size_t resumeName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == U'*') {
      starAt = p++;
      resumeName = n;
    } else if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (starAt != std::u32string::npos) {
      p = starAt + 1;
      n = ++resumeName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == U'*') {
    ++p;
  }
  return p == pattern.size();
}

}  // namespace

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
  const std::u32string upperName = UpperCaseCodePoints(name);
  if (Matches(UpperCaseCodePoints(pattern), upperName)) {
    return true;
  }
  constexpr std::string_view kAnyExtension = ".*";
  if (pattern.ends_with(kAnyExtension)) {
    pattern.remove_suffix(kAnyExtension.size());
    return Matches(UpperCaseCodePoints(pattern), upperName);
  }
  return false;
}

}  // namespace rowvane
