#include "cli/SamePath.h"

#include <filesystem>
#include <system_error>

namespace rowvane::cli {
namespace {

namespace fs = std::filesystem;

// As many links as the kernel follows before it gives up with ELOOP.
constexpr int kMostLinksFollowed = 40;

// `path` with the links at its end followed, a dangling one too: the file
// that writing to `path` creates or replaces.
fs::path WrittenThrough(fs::path path) {
  for (int followed = 0; followed < kMostLinksFollowed; ++followed) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) {
      return path;
    }
    const fs::path target = fs::read_symlink(path, error);
    if (error) {
      return path;
    }
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return path;
}

}  // namespace

bool SamePath(const std::string& first, const std::string& second) {
  std::error_code error;
  if (fs::equivalent(first, second, error)) {
    return true;
  }
  const auto firstPlace = fs::weakly_canonical(WrittenThrough(first), error);
  if (error) {
    return first == second;
  }
  const auto secondPlace = fs::weakly_canonical(WrittenThrough(second), error);
  return error ? first == second : firstPlace == secondPlace;
}

}  // namespace rowvane::cli
