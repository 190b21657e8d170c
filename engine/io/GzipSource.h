#pragma once

#include <zlib.h>

#include <cstdint>
#include <vector>

#include "engine/io/ByteSource.h"

namespace rowvane {

/// The bytes of a gzip stream read from another source, decompressed as they
/// are asked for; a file of several members reads as their texts one after
/// the other. Corrupt or truncated data throws ConversionError(FailureKind::Read).
/// rewind() starts decompressing again from the first compressed byte, so no
/// copy of the text is ever kept. The size of the text is not known.
class GzipSource : public ByteSource {
 public:
  explicit GzipSource(ByteSource& compressed, std::size_t chunk = std::size_t{1} << 16);
  ~GzipSource() override;
  GzipSource(const GzipSource&) = delete;
  GzipSource& operator=(const GzipSource&) = delete;

  std::size_t read(char* buffer, std::size_t capacity) override;
  void rewind() override;

  /// Compressed bytes taken from the other source since the start or the last rewind.
  std::uint64_t compressedBytesRead() const { return m_compressedRead; }

 private:
  void refill();
  bool atCleanEnd();

  ByteSource& m_compressed;
  z_stream m_stream{};
  std::vector<unsigned char> m_input;
  std::uint64_t m_compressedRead = 0;
  bool m_inputEnded = false;
  bool m_memberEnded = false;
};

}  // namespace rowvane
