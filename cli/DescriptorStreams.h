#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/Files.h"

namespace rowvane::cli {

/// An open file descriptor, closed when the object goes.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : m_fd(fd) {}
  ~FileDescriptor();
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return m_fd; }

 private:
  int m_fd;
};

/// Writes a conversion's output straight to a descriptor that is not a
/// regular file (standard output, a pipe, a device), which cannot be replaced
/// whole: what is written stays written. A reader that went away ends the
/// program as a closed pipe does (EndAsClosedPipe). Other errors throw
/// ConversionError(FailureKind::Write) with the platform's message.
class DescriptorSink : public OutputSink {
 public:
  explicit DescriptorSink(int fd) : m_fd(fd) {}
  void write(const char* data, std::size_t size) override;
  /// Always throws: written bytes cannot be taken back. Only an auto-detected
  /// encoding starts over, and such output is spooled first.
  void discard() override;
  std::uint64_t bytesWritten() const { return m_written; }

 private:
  int m_fd;
  std::uint64_t m_written = 0;
};

/// Reads a descriptor that cannot be read twice (standard input, a pipe).
/// Errors throw ConversionError(FailureKind::Read) with the platform's message.
class DescriptorSource : public ByteSource {
 public:
  explicit DescriptorSource(int fd) : m_fd(fd) {}
  std::size_t read(char* buffer, std::size_t capacity) override;
  /// Always throws: only an auto-detected encoding starts over, and such
  /// input is spooled first.
  void rewind() override;
  std::uint64_t bytesRead() const { return m_read; }

 private:
  int m_fd;
  std::uint64_t m_read = 0;
};

}  // namespace rowvane::cli
