#include <windows.h>

#include <cerrno>

#include "engine/io/PathExists.h"
#include "engine/io/WindowsFiles.h"

namespace rowvane {
namespace {

// Whether a file, not a folder, stands at one of the folders above `path`.
bool FileStandsOnTheWay(const std::string& path) {
  std::string above = path;
  for (;;) {
    const auto separator = above.find_last_of("/\\");
    if (separator == std::string::npos || separator == 0) {
      return false;
    }
    above.resize(separator);
    const std::optional<std::wstring> wide = WidePath(above);
    const DWORD attributes = wide ? ::GetFileAttributesW(wide->c_str()) : INVALID_FILE_ATTRIBUTES;
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }
  }
}

}  // namespace

bool PathExists(const std::string& path) {
  const std::optional<std::wstring> wide = WidePath(path);
  return !path.empty() && wide && ::GetFileAttributesW(wide->c_str()) != INVALID_FILE_ATTRIBUTES;
}

FolderLookup LookUpFolder(const std::string& path) {
  const std::optional<std::wstring> wide = WidePath(path);
  if (!wide) {
    return {ENOENT, false};
  }
  const DWORD attributes = ::GetFileAttributesW(wide->c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    // As on Linux, a file where a folder of the path should be is "not a folder".
    const bool fileOnTheWay = error == ERROR_PATH_NOT_FOUND && FileStandsOnTheWay(path);
    return {fileOnTheWay ? ENOTDIR : ErrnoOfWindowsError(error), false};
  }
  return {0, (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
}

}  // namespace rowvane
