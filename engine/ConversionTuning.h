#pragma once

#include <chrono>
#include <cstddef>

namespace rowvane {

/// How a conversion does its work; the defaults suit real use, tests shrink them.
struct ConversionTuning {
  /// Bytes asked of the input per read.
  std::size_t readChunk = std::size_t{1} << 18;
  /// Least time between two observer calls; zero calls them at every chunk.
  std::chrono::milliseconds pauseInterval{20};
  /// Flush the output file and its folder to the disk before reporting success.
  bool syncToDisk = true;
};

}  // namespace rowvane
