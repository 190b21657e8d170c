#pragma once

#include "filelist/FileSystem.h"

namespace rowvane {

/// The file system of this machine, through the wide Windows file API.
///
/// Attribute values are the ones Windows keeps (read-only 1, hidden 2,
/// system 4, directory 16, archive 32, reparse point 1024 for a symbolic
/// link or junction), so hidden and system files and folders are left out
/// of walks by their attributes. Paths are UTF-8 with "/" or "\" between
/// folders; a path that is not valid UTF-8 cannot be queried. Folder
/// identities follow links and junctions, so a walk never enters a cycle.
class WindowsFileSystem : public FileSystem {
 public:
  std::optional<Attributes> attributesOf(const std::string& path) const override;
  std::vector<std::string> search(const std::string& folder, const std::string& pattern,
                                  Attributes mask) const override;
  SubFolderListing subFoldersOf(const std::string& folder) const override;
  bool canOpen(const std::string& path) const override;
  std::optional<FolderIdentity> identityOf(const std::string& path) const override;
  bool isRootFolder(const std::string& path) const override;
};

}  // namespace rowvane
