#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace rowvane {

/// The bytes of a whole small file, or why they cannot be had.
struct RegularFileBytes {
  std::string bytes;
  /// Set when the file could not be read whole: the platform's message, "not
  /// a regular file", or "larger than N MiB".
  std::optional<std::string> problem;
  /// The platform's error number behind `problem`, when it gave one.
  int errorNumber = 0;
  /// The problem is the file's size.
  bool tooLarge = false;
  /// The problem came when opening it (it is not there, or may not be read).
  bool notOpened = false;
};

/// Reads `path` whole when it is a regular file of at most `maxBytes`. The
/// file is opened without blocking and looked at before a byte is read, so a
/// named pipe, a device or a huge file never holds or swamps the caller.
RegularFileBytes ReadRegularFile(const std::string& path, std::uint64_t maxBytes);

/// "larger than 16 MiB" for 16 MiB: how a cap is worded in a problem.
std::string LargerThan(std::uint64_t maxBytes);

}  // namespace rowvane
