#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace rowvane::cli {

/// FNV-1a, 64 bits, of `bytes`: the same value on every machine, whatever its
/// byte order or locale.
std::uint64_t Fnv1a64(std::string_view bytes);

/// One of `count` disjoint shares of a batch (--shard K/N): an input belongs
/// to share `index` when its output path, relative to the output folder,
/// hashes to `index` modulo `count`. Inputs that share an output therefore
/// always fall into the same share.
struct Shard {
  std::uint64_t index = 0;
  std::uint64_t count = 1;

  bool takes(std::string_view relativeOutputPath) const {
    return Fnv1a64(relativeOutputPath) % count == index;
  }
};

/// "K/N" as typed: decimal digits only, 0 <= K < N; nullopt for anything else.
std::optional<Shard> ShardFromTyped(std::string_view typed);

}  // namespace rowvane::cli
