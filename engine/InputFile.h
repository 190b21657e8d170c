#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "engine/ByteSource.h"

namespace rowvane {

/// Thrown when the input file is not present.
class InputMissing : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// An input file opened for reading. Only regular files are read: a folder,
/// pipe, socket or device is refused before anything could block on it.
/// Errors throw ConversionError(FailureKind::Read) with the platform's message.
class InputFile : public ByteSource {
 public:
  /// Throws InputMissing when there is no such file.
  explicit InputFile(const std::string& path);
  ~InputFile() override;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  std::size_t read(char* buffer, std::size_t capacity) override;
  void rewind() override;
  std::optional<std::uint64_t> size() const override { return m_size; }

  /// Device and inode, to tell whether another path names this same file.
  std::uint64_t device() const { return m_device; }
  std::uint64_t inode() const { return m_inode; }

 private:
  int m_fd = -1;
  std::uint64_t m_size = 0;
  std::uint64_t m_device = 0;
  std::uint64_t m_inode = 0;
};

}  // namespace rowvane
