#include "engine/io/FolderHandle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/io/SystemError.h"

namespace rowvane {

std::shared_ptr<FolderHandle> FolderHandle::Open(const std::string& path) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat info {};
  if (!fd.valid() || ::fstat(fd.get(), &info) != 0) {
    ThrowSystemError(FailureKind::Write);
  }
  const bool unnamedLinkable = ::access("/proc/self/fd", X_OK) == 0;
  return std::make_shared<FolderHandle>(path, std::move(fd), info.st_dev, info.st_ino,
                                        unnamedLinkable);
}

bool FolderHandle::stillAtItsPath() {
  struct stat info {};
  const bool same =
      ::stat(m_path.c_str(), &info) == 0 && info.st_dev == m_device && info.st_ino == m_inode;
  if (!same) {
    m_replaced.store(true, std::memory_order_release);
  }
  return same;
}

void FolderHandle::sync() const {
  // Some file systems cannot sync folders.
  if (::fsync(m_fd.get()) != 0 && errno != EINVAL) {
    ThrowSystemError(FailureKind::Write);
  }
}

}  // namespace rowvane
