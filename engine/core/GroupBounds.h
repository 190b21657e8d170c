#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace rowvane {

/// When a batch commits a group of finished outputs together: whichever
/// bound is met first.
struct GroupBounds {
  std::size_t files = 64;
  std::uint64_t bytes = std::uint64_t{64} << 20;
  /// Age of the group's first member, checked whenever a file joins.
  std::chrono::milliseconds age{250};
  /// Threads that flush the members at once, so that the file system's
  /// journal takes many of them in one commit.
  std::size_t flushThreads = 16;
};

}  // namespace rowvane
