#include "engine/io/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/core/Failure.h"
#include "engine/io/SystemError.h"

namespace rowvane {
namespace {

constexpr const char* kNotRegular = "Not a regular file";

bool IsMissing(int error) {
  return error == ENOENT || error == ENOTDIR;
}

void RequireRegular(const struct stat& info) {
  if (S_ISDIR(info.st_mode)) {
    ThrowSystemError(FailureKind::Read, EISDIR);
  }
  if (!S_ISREG(info.st_mode)) {
    throw ConversionError(FailureKind::Read, kNotRegular);
  }
}

[[noreturn]] void ThrowChanged() {
  throw ConversionError(FailureKind::Read, kInputChangedWhileRead);
}

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

InputFile::InputFile(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) {
    throw InputMissing(path);
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (IsMissing(errno)) {
      throw InputMissing(path);
    }
    ThrowSystemError(FailureKind::Read);
  }
  RequireRegular(info);  // before opening: opening a device or pipe may block or act
  // Non-blocking, in case the path was swapped for a pipe since the check.
  m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (m_fd < 0) {
    if (IsMissing(errno)) {
      throw InputMissing(path);
    }
    ThrowSystemError(FailureKind::Read);
  }
  takeOpened(info);
}

InputFile::InputFile(const std::string& path, const InputPlace& place) {
  // Non-blocking and without following a link: what stands there now may be
  // anything another user put in place of the file that was found ready.
  m_fd = ::openat(place.folder, place.name.c_str(),
                  O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
  if (m_fd < 0) {
    if (IsMissing(errno) || errno == ELOOP) {
      throw InputMissing(path);
    }
    ThrowSystemError(FailureKind::Read);
  }
  struct stat info {};
  takeOpened(info);
  if (VersionOf(info) != place.expected) {
    ::close(m_fd);
    m_fd = -1;
    throw InputMissing(path);
  }
}

void InputFile::takeOpened(struct stat& info) {
  try {
    if (::fstat(m_fd, &info) != 0) {
      ThrowSystemError(FailureKind::Read);
    }
    RequireRegular(info);
  } catch (...) {
    ::close(m_fd);
    m_fd = -1;
    throw;
  }
  m_size = static_cast<std::uint64_t>(info.st_size);
  m_device = static_cast<std::uint64_t>(info.st_dev);
  m_inode = static_cast<std::uint64_t>(info.st_ino);
  m_modified = info.st_mtim;
  // Read-ahead only pays off beyond what the first reads take anyway.
  constexpr std::uint64_t kSequentialHintFrom = std::uint64_t{1} << 20;
  if (m_size >= kSequentialHintFrom) {
    ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  }
}

InputFile::~InputFile() {
  if (m_fd >= 0) {
    ::close(m_fd);
  }
}

std::size_t InputFile::read(char* buffer, std::size_t capacity) {
  for (;;) {
    const ssize_t count = ::read(m_fd, buffer, capacity);
    if (count > 0) {
      m_offset += static_cast<std::uint64_t>(count);
      if (m_offset > m_size) {
        ThrowChanged();  // grown since it was opened
      }
      return static_cast<std::size_t>(count);
    }
    if (count == 0) {
      if (m_offset != m_size && capacity > 0) {
        ThrowChanged();  // cut short since it was opened
      }
      return 0;
    }
    if (errno != EINTR) {
      ThrowSystemError(FailureKind::Read);
    }
  }
}

void InputFile::rewind() {
  if (::lseek(m_fd, 0, SEEK_SET) != 0) {
    ThrowSystemError(FailureKind::Read);
  }
  m_offset = 0;
}

void InputFile::throwIfChangedSinceOpened() const {
  struct stat info {};
  if (::fstat(m_fd, &info) != 0) {
    ThrowSystemError(FailureKind::Read);
  }
  if (static_cast<std::uint64_t>(info.st_size) != m_size || !SameTime(info.st_mtim, m_modified)) {
    ThrowChanged();
  }
}

}  // namespace rowvane
