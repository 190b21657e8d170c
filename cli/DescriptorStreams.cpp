#include "cli/DescriptorStreams.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/ClosedPipe.h"
#include "engine/Conversion.h"

namespace rowvane::cli {

FileDescriptor::~FileDescriptor() {
  if (m_fd >= 0) {
    ::close(m_fd);
  }
}

void DescriptorSink::write(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t count = ::write(m_fd, data, size);
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      if (errno == EPIPE) {
        EndAsClosedPipe();
      }
      const int error = errno;
      throw ConversionError(FailureKind::Write, std::strerror(error), error);
    }
    data += count;
    size -= static_cast<std::size_t>(count);
    m_written += static_cast<std::uint64_t>(count);
  }
}

void DescriptorSink::discard() {
  throw ConversionError(FailureKind::Write, "the output has begun and cannot start over");
}

std::size_t DescriptorSource::read(char* buffer, std::size_t capacity) {
  for (;;) {
    const ssize_t count = ::read(m_fd, buffer, capacity);
    if (count >= 0) {
      m_read += static_cast<std::uint64_t>(count);
      return static_cast<std::size_t>(count);
    }
    if (errno != EINTR) {
      const int error = errno;
      throw ConversionError(FailureKind::Read, std::strerror(error), error);
    }
  }
}

void DescriptorSource::rewind() {
  throw ConversionError(FailureKind::Read, "the input cannot be read a second time");
}

}  // namespace rowvane::cli
