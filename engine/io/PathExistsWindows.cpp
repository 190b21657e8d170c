#include <windows.h>

#include <cerrno>

#include "engine/io/PathExists.h"
#include "engine/io/WindowsFiles.h"

namespace rowvane {

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
    return {ErrnoOfWindowsError(::GetLastError()), false};
  }
  return {0, (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
}

}  // namespace rowvane
