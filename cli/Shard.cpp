#include "cli/Shard.h"

#include <charconv>

namespace rowvane::cli {
namespace {

constexpr std::uint64_t kFnvOffsetBasis = 14695981039346656037ULL;
constexpr std::uint64_t kFnvPrime = 1099511628211ULL;

// The whole of `digits` as a number; nullopt for a sign, space, overflow or nothing.
std::optional<std::uint64_t> NumberOf(std::string_view digits) {
  std::uint64_t value = 0;
  const char* const end = digits.data() + digits.size();
  if (digits.empty() || digits.front() < '0' || digits.front() > '9') {
    return std::nullopt;
  }
  const auto [stop, error] = std::from_chars(digits.data(), end, value);
  if (error != std::errc() || stop != end) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::uint64_t Fnv1a64(std::string_view bytes) {
  std::uint64_t hash = kFnvOffsetBasis;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= kFnvPrime;
  }
  return hash;
}

std::optional<Shard> ShardFromTyped(std::string_view typed) {
  const std::size_t slash = typed.find('/');
  if (slash == std::string_view::npos) {
    return std::nullopt;
  }
  const auto index = NumberOf(typed.substr(0, slash));
  const auto count = NumberOf(typed.substr(slash + 1));
  if (!index || !count || *index >= *count) {
    return std::nullopt;
  }
  return Shard{*index, *count};
}

}  // namespace rowvane::cli
