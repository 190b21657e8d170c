#include "filelist/AddFolder.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <set>

#include "text/Utf8.h"

namespace rowvane {
namespace {

constexpr std::size_t kInitialNameRoom = 100;
constexpr std::size_t kNameRoomGrowth = 50;

bool IsRefusedCodePoint(char32_t c) {
  return c < 32 || (c >= 127 && c <= 159) || c == U'?';
}

/// Whether the walk may look below `folder`; nothing when its attributes
/// cannot be read (it vanished during the walk).
std::optional<bool> IsWalkable(const FileSystem& fileSystem, const std::string& folder) {
  const auto value = fileSystem.attributesOf(folder);
  if (!value) {
    return std::nullopt;
  }
  const bool protectedFolder =
      *value == attribute::kProtectedFolder || *value == attribute::kProtectedLink;
  return !protectedFolder || fileSystem.isRootFolder(folder);
}

std::string SubFolderPath(const std::string& folder, const std::string& name) {
  std::string path = folder;
  if (!path.ends_with('/')) {
    path += '/';
  }
  path += name;
  path += '/';
  return path;
}

/// State of one walk across its levels.
class Walk {
 public:
  Walk(const FileSystem& fileSystem, const LetEventsRun& letEventsRun)
      : m_fileSystem(fileSystem), m_letEventsRun(letEventsRun) {}

  /// Records the folders the walk starts from, so links back to them are not
  /// followed.
  void rememberStart(const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) {
      firstVisit(folder);
    }
  }

  /// Finds the sub-folders of every folder of `folders`, walks them in turn
  /// when `recurse`, and appends the walkable ones; a folder that may not be
  /// listed leaves `folders`. Leave when a pause said so.
  WalkAnswer collect(std::vector<std::string>& folders, bool recurse) {
    std::vector<std::string> found;
    for (std::size_t i = 0; i < folders.size();) {
      const std::string folder = folders[i];  // a copy: the list may shrink below
      if (m_letEventsRun() == WalkAnswer::Leave) {
        return WalkAnswer::Leave;
      }
      if (!IsWalkable(m_fileSystem, folder).value_or(false)) {
        ++i;
        continue;
      }
      const SubFolderListing listing = m_fileSystem.subFoldersOf(folder);
      if (appendSubFolders(folder, listing.names, found) == WalkAnswer::Leave) {
        return WalkAnswer::Leave;
      }
      if (listing.error == ListingError::PermissionDenied) {
        // The folder at i is removed, so i now holds the one that followed it.
        folders.erase(std::find(folders.begin(), folders.end(), folder));
      } else {
        ++i;
      }
    }
    if (recurse && !found.empty() && collect(found, true) == WalkAnswer::Leave) {
      return WalkAnswer::Leave;
    }
    for (const std::string& folder : found) {
      if (m_letEventsRun() == WalkAnswer::Leave) {
        return WalkAnswer::Leave;
      }
      if (IsWalkable(m_fileSystem, folder).value_or(false)) {
        folders.push_back(folder);
      }
    }
    return WalkAnswer::Continue;
  }

 private:
  WalkAnswer appendSubFolders(const std::string& folder, const std::vector<std::string>& names,
                              std::vector<std::string>& found) {
    for (const std::string& name : names) {
      if (m_letEventsRun() == WalkAnswer::Leave) {
        return WalkAnswer::Leave;
      }
      if (HasBadCharacters(name) || name == "." || name == "..") {
        continue;
      }
      std::string path = SubFolderPath(folder, name);
      if (firstVisit(path)) {
        found.push_back(std::move(path));
      }
    }
    return WalkAnswer::Continue;
  }

  /// False when the folder is gone or the walk has already reached it.
  bool firstVisit(const std::string& folder) {
    const auto identity = m_fileSystem.identityOf(folder);
    return identity && m_visited.insert(*identity).second;
  }

  const FileSystem& m_fileSystem;
  const LetEventsRun& m_letEventsRun;
  std::set<FolderIdentity> m_visited;
};

}  // namespace

bool IsBadFileName(const FileSystem& fileSystem, const std::string& path) {
  return !fileSystem.attributesOf(path).has_value();
}

bool HasBadCharacters(std::string_view name) {
  // Bytes that are not UTF-8 stand for themselves, above every refused code point.
  const std::u32string codePoints = DecodeUtf8Leniently(name);
  return std::any_of(codePoints.begin(), codePoints.end(), IsRefusedCodePoint);
}

WalkAnswer CollectSubFolders(const FileSystem& fileSystem, std::vector<std::string>& folders,
                             bool recurse, const LetEventsRun& letEventsRun) {
  Walk walk(fileSystem, letEventsRun);
  walk.rememberStart(folders);
  return walk.collect(folders, recurse);
}

std::vector<std::string> ListFiles(const FileSystem& fileSystem, std::string folder,
                                   const std::string& pattern) {
  if (!folder.ends_with('/')) {
    folder += '/';
  }
  std::vector<std::string> names;
  names.reserve(kInitialNameRoom);
  for (std::string& name : fileSystem.search(folder, pattern, attribute::kFilesOfAnyKind)) {
    if (!FileCanBeOpened(fileSystem, folder + name)) {
      continue;
    }
    if (names.size() == names.capacity()) {
      names.reserve(names.capacity() + kNameRoomGrowth);
    }
    names.push_back(std::move(name));
  }
  names.shrink_to_fit();
  return names;
}

bool FileCanBeOpened(const FileSystem& fileSystem, const std::string& path) {
  return fileSystem.canOpen(path);
}

}  // namespace rowvane
