#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

namespace rowvane {

/// What tells one version of a file from another without reading it: the
/// file itself (device and inode) and its size and modification time.
struct FileVersion {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modifiedNanoseconds = 0;
  bool operator==(const FileVersion&) const = default;
};

/// The identity of the file `info` (a struct stat) describes; a template, so
/// that platforms whose status lacks nanosecond times never instantiate it.
template <typename Status>
FileVersion VersionOf(const Status& info) {
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
          static_cast<std::uint64_t>(info.st_size),
          info.st_mtim.tv_sec * 1'000'000'000LL + info.st_mtim.tv_nsec};
}

/// An input named inside a folder the caller holds open, and the file it was
/// when the caller last looked. Opened through it, the input is reached
/// without following any link, so that a folder or file that others may
/// write to cannot be swapped for a link to something they may not read; a
/// different file standing there by then counts as the input being gone.
struct InputPlace {
  int folder = -1;   ///< an open folder, held by the caller for the conversion
  std::string name;  ///< one name in it, no "/"
  FileVersion expected;
};

}  // namespace rowvane
