#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <set>

#include "filelist/FileSystem.h"

namespace rowvane {

/// The file system of this machine, through POSIX calls.
///
/// Attribute values: directory 16; archive 32 for a regular file; system 4 for
/// anything else (device, socket, pipe); read-only 1 when the owner may not
/// write; hidden 2 when the name begins with "."; reparse point 1024 for a
/// symbolic link, together with the bits of its target (only the link's own
/// bits when it dangles). The mount point of a kernel pseudo file system
/// (PseudoMounts.h) is exactly 22, hidden and system, so walks pass over it as
/// over a protected system folder. A path that is missing or not valid UTF-8
/// cannot be queried.
class PosixFileSystem : public FileSystem {
 public:
  /// Reads the pseudo file systems from /proc/self/mountinfo once; a missing
  /// table leaves none.
  PosixFileSystem();
  /// Uses the given devices (stat's st_dev) as pseudo file systems.
  explicit PosixFileSystem(std::set<std::uint64_t> pseudoDevices);

  std::optional<Attributes> attributesOf(const std::string& path) const override;
  std::vector<std::string> search(const std::string& folder, const std::string& pattern,
                                  Attributes mask) const override;
  SubFolderListing subFoldersOf(const std::string& folder) const override;
  bool canOpen(const std::string& path) const override;
  std::optional<FolderIdentity> identityOf(const std::string& path) const override;
  bool isRootFolder(const std::string& path) const override;

 private:
  bool isPseudoMountPoint(const std::string& path, std::uint64_t device) const;
  Attributes targetBits(const std::string& path) const;
  /// Type and read-only bits of `path` from its known status.
  Attributes bitsOf(const std::string& path, const struct stat& status) const;

  std::set<std::uint64_t> m_pseudoDevices;
};

}  // namespace rowvane
