#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "engine/io/ByteSource.h"
#include "engine/io/InputPlace.h"

namespace rowvane {

/// The message of the read failure of an input that changed while it was read.
inline constexpr const char* kInputChangedWhileRead = "The file changed while it was read";

/// Thrown when the input file is not present.
class InputMissing : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// An input file opened for reading. Only regular files are read: a folder,
/// pipe, socket or device is refused before anything could block on it.
/// Errors throw ConversionError(FailureKind::Read) with the platform's message.
/// A file that another program truncates, extends or rewrites while it is
/// read would give a mix of old and new bytes: read() reports it when the
/// bytes it met do not add up to the size at opening, and
/// throwIfChangedSinceOpened() when its size or modification time moved.
/// Both throw ConversionError(FailureKind::Read, kInputChangedWhileRead).
class InputFile : public ByteSource {
 public:
  /// Throws InputMissing when there is no such file.
  explicit InputFile(const std::string& path);
  /// The input at `place`, no link followed; `path` names it in messages.
  /// Throws InputMissing when a link, nothing, or another file than the
  /// expected one stands there.
  InputFile(const std::string& path, const InputPlace& place);
  ~InputFile() override;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  std::size_t read(char* buffer, std::size_t capacity) override;
  void rewind() override;
  std::optional<std::uint64_t> size() const override { return m_size; }

  /// Checks the file's size and modification time against those it had when
  /// it was opened; call it once everything has been read.
  void throwIfChangedSinceOpened() const;

  /// Device and inode, to tell whether another path names this same file.
  std::uint64_t device() const { return m_device; }
  std::uint64_t inode() const { return m_inode; }

 private:
  void takeOpened(struct stat& info);

  int m_fd = -1;
  std::uint64_t m_size = 0;
  std::uint64_t m_offset = 0;  // bytes read since the start or the last rewind
  timespec m_modified{};
  std::uint64_t m_device = 0;
  std::uint64_t m_inode = 0;
};

}  // namespace rowvane
