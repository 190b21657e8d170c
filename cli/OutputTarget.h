#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/Files.h"

namespace rowvane::cli {

/// Where the bytes of -O FILE go, decided without following the last link
/// blindly: a symbolic link is followed, hop by hop, and what it leads to is
/// judged by the same rules; the link itself is never replaced.
struct OutputTarget {
  enum class Kind {
    Descriptor,  ///< one of this process's own descriptors (-, /dev/stdout, /dev/fd/N)
    InPlace,     ///< an existing file that is not a regular file, opened and written
    Replaced,    ///< a regular file, or none yet: replaced whole in its own folder
  };
  Kind kind = Kind::Replaced;
  /// InPlace: the path to open; Replaced: the file to replace (a link's final target).
  std::string path;
  /// Descriptor: the descriptor to write.
  int descriptor = -1;
};

/// Resolves `outputFile` ("-" is standard output). Throws
/// ConversionError(FailureKind::Write) for a chain of links that never ends.
OutputTarget ResolveOutputTarget(const std::string& outputFile);

/// Opens the InPlace target `path` for writing; throws ConversionError(FailureKind::Write).
rowvane::FileDescriptor OpenInPlace(const std::string& path);

/// Device and inode of a regular file; the two streams of one file compare equal.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

/// The identity of the regular file `path` leads to; none for anything else.
std::optional<FileIdentity> RegularFileAt(const std::string& path);
/// The identity of the regular file open on `fd`; none for anything else.
std::optional<FileIdentity> RegularFileOn(int fd);

}  // namespace rowvane::cli
