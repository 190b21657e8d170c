#pragma once

#include <string>

namespace rowvane {

/// True when `path` names an existing file or folder (links followed), so
/// that the file system can tell its attributes. Never fails: an empty text,
/// a missing path or a name the file system rejects gives false.
bool PathExists(const std::string& path);

/// What stands at a path that should lead to a folder (a link followed).
struct FolderLookup {
  int error = 0;          ///< the error number when nothing can be found there
  bool isFolder = false;  ///< with no error: whether it is a folder
};
FolderLookup LookUpFolder(const std::string& path);

}  // namespace rowvane
