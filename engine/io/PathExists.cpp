#include "engine/io/PathExists.h"

#include <sys/stat.h>

#include <cerrno>

namespace rowvane {

bool PathExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && path.find('\0') == std::string::npos && ::stat(path.c_str(), &info) == 0;
}

FolderLookup LookUpFolder(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    return {errno, false};
  }
  return {0, S_ISDIR(info.st_mode)};
}

}  // namespace rowvane
