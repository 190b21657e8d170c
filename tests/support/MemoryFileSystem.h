#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "filelist/FileSystem.h"

namespace rowvane {

/// A file system held in memory, for tests: every attribute value is set by
/// hand, so the walk's rules about exact values (22, 34, 54, 1046...) can be
/// exercised. Paths are absolute with "/" separators; names are
/// case-sensitive. Search and sub-folder order follow PlatformNameLess like
/// the real file system.
class MemoryFileSystem : public FileSystem {
 public:
  MemoryFileSystem();

  /// Adds a folder with its attribute value, and any missing parent folders
  /// with the value 16. Adding an existing path replaces its value.
  void addFolder(const std::string& path, Attributes value = attribute::kDirectory);
  /// Adds a file (parents as for addFolder). `openable` false makes
  /// canOpen fail, as for a file locked by another program.
  void addFile(const std::string& path, Attributes value = attribute::kArchive,
               bool openable = true);
  /// Adds a symbolic link to `target` (an absolute path, which may be missing).
  /// Its value is 1024 with the value of its target.
  void addLink(const std::string& path, const std::string& target);
  /// Makes listing the folder's contents fail with `error`, after its first
  /// `namesBefore` sub-folders have been handed out.
  void failListing(const std::string& path, ListingError error, std::size_t namesBefore = 0);
  /// Marks a folder as the root folder of its drive.
  void markRootFolder(const std::string& path);
  /// Removes a file, folder or link with everything below it.
  void remove(const std::string& path);

  std::optional<Attributes> attributesOf(const std::string& path) const override;
  std::vector<std::string> search(const std::string& folder, const std::string& pattern,
                                  Attributes mask) const override;
  SubFolderListing subFoldersOf(const std::string& folder) const override;
  bool canOpen(const std::string& path) const override;
  std::optional<FolderIdentity> identityOf(const std::string& path) const override;
  bool isRootFolder(const std::string& path) const override;

 private:
  enum class Kind { File, Folder, Link };
  struct Node {
    Kind kind = Kind::Folder;
    Attributes value = attribute::kDirectory;
    std::uint64_t id = 0;
    bool openable = true;
    bool root = false;
    std::string target;  // links only
    ListingError listingError = ListingError::None;
    std::size_t namesBeforeFailure = 0;
  };

  Node& add(const std::string& path, Kind kind, Attributes value);
  /// Key of the node that `path` leads to; links followed on the way and, when
  /// `followLast`, at the end. Empty when there is none.
  std::string resolve(const std::string& path, bool followLast, int hopsLeft = 40) const;
  const Node* find(const std::string& path, bool followLast) const;
  std::vector<std::string> childNamesOf(const std::string& key) const;

  std::map<std::string, Node> m_nodes;  // by normalised path: "/" or "/a/b"
  std::uint64_t m_nextId = 1;
};

}  // namespace rowvane
