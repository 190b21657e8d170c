#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace rowvane::cli {

/// The closing line of a run: "N converted, M failed in T s (X MB/s)", with
/// the time to a tenth of a second and the input bytes per second in MB
/// (powers of 1000).
std::string SummaryLine(std::size_t converted, std::size_t failed, std::uint64_t inputBytes,
                        std::chrono::duration<double> elapsed);

}  // namespace rowvane::cli
