#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace rowvane {

/// The keys of the groups a file has begun so far, as 64-bit hashes with the
/// line where each began; enough to notice a key that comes back. Holds up to
/// kMostKeys keys, then remembers nothing more. Memory grows with the keys
/// held (16 bytes a slot, at most half the slots in use).
class RunKeyHistory {
 public:
  static constexpr std::size_t kMostKeys = 1'000'000;

  /// Remembers that a group of key `hash` begins at `line`; gives the line
  /// where a group of the same hash began before, if one did.
  std::optional<std::uint64_t> remember(std::uint64_t hash, std::uint64_t line);
  std::size_t size() const { return m_count; }

 private:
  struct Slot {
    std::uint64_t hash = 0;  // 0: empty
    std::uint64_t line = 0;
  };
  Slot* find(std::uint64_t hash);
  void grow();

  std::vector<Slot> m_slots;
  std::size_t m_count = 0;
};

}  // namespace rowvane
