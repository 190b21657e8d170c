#include "filelist/GatherFolderFiles.h"

#include <cstddef>

namespace rowvane {
namespace {

bool IsTemporaryName(std::string_view name) {
  return name.starts_with('~');
}

}  // namespace

bool IsFileToAdd(const FileSystem& fileSystem, const std::string& candidate) {
  if (!FileCanBeOpened(fileSystem, candidate)) {
    return false;
  }
  // A file that vanished since it was listed has no value and is passed over.
  const auto value = fileSystem.attributesOf(candidate);
  return value && *value != attribute::kHiddenArchiveFile;
}

std::string CollapseDoubledSeparators(std::string_view path) {
  std::string collapsed;
  collapsed.reserve(path.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    collapsed += path[i];
    if (path[i] == '/' && i + 1 < path.size() && path[i + 1] == '/') {
      ++i;  // the pair becomes one; the pass goes on after it
    }
  }
  return collapsed;
}

std::vector<std::string> GatherFolderFiles(const FileSystem& fileSystem, const std::string& folder,
                                           std::string_view pattern,
                                           const LetEventsRun& letEventsRun) {
  if (folder.empty()) {
    return {};
  }
  std::vector<std::string> folders{folder + "/"};
  if (CollectSubFolders(fileSystem, folders, true, letEventsRun) == WalkAnswer::Leave) {
    return {};
  }
  return FilesOfFolders(fileSystem, folders, pattern);
}

std::vector<std::string> FilesOfFolders(const FileSystem& fileSystem,
                                        const std::vector<std::string>& folders,
                                        std::string_view pattern) {
  std::vector<std::string> entries;
  const std::string filePattern(pattern);
  for (const std::string& listed : folders) {
    const std::string current = listed.substr(0, listed.size() - 1);  // without its "/"
    for (const std::string& name : ListFiles(fileSystem, current, filePattern)) {
      if (IsTemporaryName(name)) {
        continue;
      }
      const std::string candidate = current + "/" + name;
      if (IsFileToAdd(fileSystem, candidate)) {
        entries.push_back(CollapseDoubledSeparators(candidate));
      }
    }
  }
  return entries;
}

bool IsDroppedFolder(const FileSystem& fileSystem, const std::string& path) {
  const auto value = fileSystem.attributesOf(path);
  if (!value || (*value & attribute::kDirectory) == 0) {
    return false;
  }
  const auto last = path.find_last_not_of('/');
  if (last == std::string::npos) {
    return true;  // the root folder: its search finds its own entries
  }
  const auto slash = path.rfind('/', last);
  const auto nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::string parent = slash == std::string::npos ? "." : path.substr(0, nameStart);
  const std::string name = path.substr(nameStart, last + 1 - nameStart);
  return !fileSystem.search(parent, name, attribute::kVisibleFoldersAndFiles).empty();
}

}  // namespace rowvane
