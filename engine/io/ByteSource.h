#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace rowvane {

/// Where a conversion reads its bytes from.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  /// Reads up to `capacity` bytes into `buffer`; 0 means the end of the input.
  /// Throws ConversionError(FailureKind::Read) on failure.
  virtual std::size_t read(char* buffer, std::size_t capacity) = 0;
  /// Starts again from the first byte (the decoder may need a second pass).
  virtual void rewind() = 0;
  /// Total length when known, for progress.
  virtual std::optional<std::uint64_t> size() const { return std::nullopt; }
};

/// A source over bytes held in memory, handing out at most `chunk` bytes per
/// read so tests can cross every boundary.
class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::string bytes, std::size_t chunk = SIZE_MAX)
      : m_bytes(std::move(bytes)), m_chunk(chunk == 0 ? 1 : chunk) {}
  std::size_t read(char* buffer, std::size_t capacity) override;
  void rewind() override { m_offset = 0; }
  std::optional<std::uint64_t> size() const override { return m_bytes.size(); }

 private:
  std::string m_bytes;
  std::size_t m_chunk;
  std::size_t m_offset = 0;
};

}  // namespace rowvane
