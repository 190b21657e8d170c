#pragma once

#include <cstdint>
#include <string>

namespace rowvane {

/// Records of one group key that are not next to each other, so they make
/// two groups: the key, the line where its earlier group began, and the line
/// where it began again.
struct GroupSplit {
  std::string key;
  std::uint64_t earlierLine = 0;
  std::uint64_t line = 0;
  friend bool operator==(const GroupSplit&, const GroupSplit&) = default;
};

}  // namespace rowvane
