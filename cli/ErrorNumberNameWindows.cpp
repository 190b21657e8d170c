#include <cerrno>
#include <utility>

#include "cli/ErrorNumberName.h"

namespace rowvane::cli {
namespace {

// The numbers the Windows build's engine reports (ErrnoOfWindowsError) and
// the C runtime's own, named as on Linux so that reports read the same.
constexpr std::pair<int, const char*> kNames[] = {
    {EPERM, "EPERM"},
    {ENOENT, "ENOENT"},
    {EINTR, "EINTR"},
    {EIO, "EIO"},
    {EBADF, "EBADF"},
    {ENOMEM, "ENOMEM"},
    {EACCES, "EACCES"},
    {EBUSY, "EBUSY"},
    {EEXIST, "EEXIST"},
    {EXDEV, "EXDEV"},
    {ENOTDIR, "ENOTDIR"},
    {EISDIR, "EISDIR"},
    {EINVAL, "EINVAL"},
    {EMFILE, "EMFILE"},
    {EFBIG, "EFBIG"},
    {ENOSPC, "ENOSPC"},
    {EROFS, "EROFS"},
    {EPIPE, "EPIPE"},
    {ENAMETOOLONG, "ENAMETOOLONG"},
    {ENOTEMPTY, "ENOTEMPTY"},
    {ELOOP, "ELOOP"},
};

}  // namespace

const char* ErrorNumberName(int error) {
  for (const auto& [number, name] : kNames) {
    if (number == error) {
      return name;
    }
  }
  return nullptr;
}

}  // namespace rowvane::cli
