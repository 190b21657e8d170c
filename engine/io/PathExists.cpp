#include "engine/io/PathExists.h"

#include <sys/stat.h>

namespace rowvane {

bool PathExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && path.find('\0') == std::string::npos && ::stat(path.c_str(), &info) == 0;
}

}  // namespace rowvane
