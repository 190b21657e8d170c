#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace rowvane::reliability {

/// Marks a file or folder immutable (what `chattr +i` does) for its own
/// lifetime, and clears the mark again even when a test fails, so that
/// temporary folders can still be removed. Needs CAP_LINUX_IMMUTABLE.
class ImmutableFlag {
 public:
  explicit ImmutableFlag(std::string path) : m_path(std::move(path)) { change(true); }
  ~ImmutableFlag() {
    try {
      change(false);
    } catch (const std::runtime_error&) {
      // Nothing sensible is left to do in a destructor.
    }
  }
  ImmutableFlag(const ImmutableFlag&) = delete;
  ImmutableFlag& operator=(const ImmutableFlag&) = delete;

 private:
  void change(bool immutable) const {
    const int fd = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      throw std::runtime_error("cannot open " + m_path + ": " + std::strerror(errno));
    }
    int flags = 0;
    int result = ::ioctl(fd, FS_IOC_GETFLAGS, &flags);
    if (result == 0) {
      flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
      result = ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    const int error = errno;
    ::close(fd);
    if (result != 0) {
      throw std::runtime_error("cannot change the immutable flag of " + m_path + ": " +
                               std::strerror(error));
    }
  }

  std::string m_path;
};

}  // namespace rowvane::reliability
