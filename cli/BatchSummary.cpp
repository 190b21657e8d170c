#include "cli/BatchSummary.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace rowvane::cli {

std::string SummaryLine(std::size_t converted, std::size_t failed, std::uint64_t inputBytes,
                        std::chrono::duration<double> elapsed) {
  // A run quicker than the clock can tell still gets a finite rate.
  const double seconds = std::max(elapsed.count(), 0.001);
  const double megabytesPerSecond = static_cast<double>(inputBytes) / 1e6 / seconds;
  std::array<char, 128> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%zu converted, %zu failed in %.1f s (%.1f MB/s)",
                converted, failed, elapsed.count(), megabytesPerSecond);
  return buffer.data();
}

}  // namespace rowvane::cli
