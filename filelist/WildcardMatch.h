#pragma once

#include <string_view>

namespace rowvane {

/// True when `name` matches the wildcard `pattern` the way the directory
/// search matches: "*" stands for any run of characters (none included), "?"
/// for exactly one character, everything else for itself without regard to
/// case (UpperCaseOf). As on the platform the program grew up on, a pattern
/// that ends in ".*" also takes names without that part, so "*.*" takes every
/// name, "README" included. Any bytes are accepted; bytes that are not UTF-8
/// match only themselves, "?" or "*". Time grows with the product of the two
/// lengths at worst.
bool MatchesWildcard(std::string_view pattern, std::string_view name);

}  // namespace rowvane
