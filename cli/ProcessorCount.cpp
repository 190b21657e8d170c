#include "cli/ProcessorCount.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace rowvane::cli {
namespace {

std::optional<unsigned long long> WholeNumber(std::string_view digits) {
  unsigned long long value = 0;
  const char* const end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, value);
  if (digits.empty() || error != std::errc() || stop != end) {
    return std::nullopt;
  }
  return value;
}

std::string FirstLineOf(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// The group of the unified hierarchy ("0::/a/b"), empty when there is none.
std::string UnifiedGroup(const std::string& selfCgroup) {
  std::ifstream in(selfCgroup);
  std::string line;
  while (std::getline(in, line)) {
    if (line.starts_with("0::/")) {
      return line.substr(3);
    }
  }
  return {};
}

}  // namespace

std::optional<unsigned> ProcessorsOfQuota(std::string_view cpuMax) {
  const std::size_t space = cpuMax.find(' ');
  if (space == std::string_view::npos) {
    return std::nullopt;
  }
  const auto quota = WholeNumber(cpuMax.substr(0, space));
  const auto period = WholeNumber(cpuMax.substr(space + 1));
  if (!quota || !period || *period == 0) {
    return std::nullopt;  // "max": no limit
  }
  const unsigned long long processors = std::max(1ULL, (*quota + *period - 1) / *period);
  return static_cast<unsigned>(std::min<unsigned long long>(processors, 1U << 20));
}

std::optional<unsigned> CgroupProcessors(const std::string& selfCgroup,
                                         const std::string& cgroupRoot) {
  const std::string group = UnifiedGroup(selfCgroup);
  if (group.empty()) {
    return std::nullopt;
  }
  std::optional<unsigned> fewest;
  std::filesystem::path at = std::filesystem::path(cgroupRoot) / group.substr(1);
  const std::filesystem::path root(cgroupRoot);
  for (;;) {
    if (const auto allowed = ProcessorsOfQuota(FirstLineOf(at / "cpu.max"))) {
      fewest = std::min(fewest.value_or(*allowed), *allowed);
    }
    if (at.lexically_normal() == root.lexically_normal() || !at.has_relative_path() ||
        at.parent_path() == at) {
      return fewest;
    }
    at = at.parent_path();
  }
}

}  // namespace rowvane::cli
