#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/io/FileDescriptor.h"

namespace rowvane {

/// A file without a name in the temporary folder (`folder`, else $TMPDIR,
/// else /tmp) for what a conversion cannot hold in memory. It has no name
/// from the start (or loses it at once where the file system cannot make
/// unnamed files), so it goes with the process however that ends: a stop,
/// a signal or a crash leaves nothing behind.
/// Errors throw ConversionError(FailureKind::Write) naming the folder, with
/// the platform's message (a full folder: "No space left on device").
class SpillFile {
 public:
  explicit SpillFile(const std::string& folder = {});

  /// Appends bytes at the end.
  void append(const char* data, std::size_t size);
  /// Reads up to `capacity` bytes from `offset`; fewer only at the end.
  std::size_t readAt(std::uint64_t offset, char* buffer, std::size_t capacity) const;
  std::uint64_t size() const { return m_size; }
  const std::string& folder() const { return m_folder; }

 private:
  [[noreturn]] void fail(const char* what) const;

  std::string m_folder;
  FileDescriptor m_fd;
  std::uint64_t m_size = 0;
};

}  // namespace rowvane
