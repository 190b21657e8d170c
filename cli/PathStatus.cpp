#include "cli/PathStatus.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace rowvane::cli {
namespace {

bool NotOlder(const timespec& output, const timespec& input) {
  return output.tv_sec != input.tv_sec ? output.tv_sec > input.tv_sec
                                       : output.tv_nsec >= input.tv_nsec;
}

}  // namespace

bool IsPresent(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

bool PathIsTaken(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;  // a dangling link is taken too
}

bool NothingToEmpty(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 || errno != ENOENT) {
    return false;
  }
  if (::lstat(path.c_str(), &info) == 0) {
    return true;  // a dangling link
  }
  const std::string folder = std::filesystem::path(path).parent_path().string();
  return !IsPresent(folder.empty() ? "." : folder);
}

bool IsUpToDate(const std::string& input, const std::string& output) {
  struct stat in {};
  struct stat out {};
  return ::stat(input.c_str(), &in) == 0 && ::stat(output.c_str(), &out) == 0 &&
         S_ISREG(out.st_mode) && NotOlder(out.st_mtim, in.st_mtim);
}

int MakeOneFolder(const std::string& path) {
  return ::mkdir(path.c_str(), 0777) == 0 ? 0 : errno;
}

void RemoveFile(const std::string& path) {
  ::unlink(path.c_str());
}

}  // namespace rowvane::cli
