#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace rowvane::reliability {

/// What the suite remembers of a file to tell whether anything touched it:
/// the SHA-256 of its bytes, its size and its modification time.
struct FileStamp {
  std::string sha256;
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;

  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

/// The stamp of the regular file at `path`; nothing when there is none.
std::optional<FileStamp> StampOf(const std::string& path);

/// Stamps of the regular files directly in `folder`, hidden ones included,
/// by name.
std::map<std::string, FileStamp> StampFolder(const std::string& folder);

/// Names of the engine's temporary files (".rowvane-*.tmp") directly in
/// `folder`.
std::vector<std::string> TemporaryFilesIn(const std::string& folder);

}  // namespace rowvane::reliability
