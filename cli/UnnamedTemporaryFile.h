#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "cli/DescriptorStreams.h"
#include "engine/Conversion.h"
#include "engine/Files.h"

namespace rowvane::cli {

/// A file without a name in the temporary folder ($TMPDIR, else /tmp), gone
/// with the process however it ends. It holds what must wait on the disk
/// rather than in memory: standard input that may have to be read twice, or
/// output that may not be shown before the input's encoding is settled.
/// Written as an OutputSink, then read back as a ByteSource.
/// Errors throw ConversionError (Write while filling, Read while reading).
class UnnamedTemporaryFile : public ByteSource, public OutputSink {
 public:
  UnnamedTemporaryFile();

  void write(const char* data, std::size_t size) override;
  /// Empties the file.
  void discard() override;

  /// Reads from the start after rewind().
  std::size_t read(char* buffer, std::size_t capacity) override;
  void rewind() override;
  std::optional<std::uint64_t> size() const override { return m_size; }

  /// Appends everything `fd` gives until its end.
  void fillFrom(int fd);
  /// Writes the whole content to `sink`.
  void copyTo(OutputSink& sink);

 private:
  [[noreturn]] void fail(FailureKind kind, const char* what) const;

  std::string m_folder;
  FileDescriptor m_fd;
  std::uint64_t m_size = 0;
};

}  // namespace rowvane::cli
