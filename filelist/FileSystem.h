#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "filelist/FileAttributes.h"

namespace rowvane {

/// What makes two paths the same folder, so that a walk can notice a folder it
/// has already entered through another path (a link to a parent, a bind mount).
struct FolderIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;

  friend auto operator<=>(const FolderIdentity&, const FolderIdentity&) = default;
};

/// How listing the sub-folders of a folder ended.
enum class ListingError {
  None,              ///< every sub-folder was listed
  PermissionDenied,  ///< the folder's contents may not be listed
  Other,             ///< any other failure: missing folder, not a folder, read error
};

/// Sub-folder names of one folder, and how far the listing got. On failure the
/// names read before it stay valid.
struct SubFolderListing {
  std::vector<std::string> names;
  ListingError error = ListingError::None;
};

/// The file-system operations that the folder walk and the path tests rely on.
/// Paths are UTF-8 text with "/" as the separator; doubled separators and a
/// trailing one on a folder are accepted. No operation throws.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  /// Attribute value of an existing file or folder (see FileAttributes.h);
  /// nothing when the path is missing or cannot be named.
  virtual std::optional<Attributes> attributesOf(const std::string& path) const = 0;

  /// Names (without the folder) of the entries of `folder` that match the
  /// wildcard `pattern` without regard to case and pass the attribute `mask`
  /// (PassesSearchMask), never "." or "..", in the platform's name order
  /// (PlatformNameLess). A missing or unreadable folder gives no names.
  virtual std::vector<std::string> search(const std::string& folder, const std::string& pattern,
                                          Attributes mask) const = 0;

  /// Names of the immediate sub-folders of `folder` (links to folders
  /// included), hidden and system ones too, in the platform's name order.
  virtual SubFolderListing subFoldersOf(const std::string& folder) const = 0;

  /// True when `path` names an existing regular file (links followed) that can
  /// be opened without asking for any access.
  virtual bool canOpen(const std::string& path) const = 0;

  /// Identity of the folder that `path` leads to (links followed); nothing
  /// when it is missing or no folder.
  virtual std::optional<FolderIdentity> identityOf(const std::string& path) const = 0;

  /// True when `path` is the root folder of the file system.
  virtual bool isRootFolder(const std::string& path) const = 0;
};

}  // namespace rowvane
