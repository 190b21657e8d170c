#include "engine/io/GzipSource.h"

#include <limits>
#include <new>
#include <string>

#include "engine/core/Failure.h"

namespace rowvane {
namespace {

constexpr int kGzipWindowBits = 16 + MAX_WBITS;  // a gzip header and trailer, not zlib's
constexpr const char* kCorrupt = "The gzip data is corrupt";
constexpr const char* kTruncated = "The gzip data ends early: the file is truncated";

[[noreturn]] void ThrowCorrupt(const z_stream& stream) {
  std::string message = kCorrupt;
  if (stream.msg != nullptr) {
    message.append(" (").append(stream.msg).append(")");
  }
  throw ConversionError(FailureKind::Read, message);
}

}  // namespace

GzipSource::GzipSource(ByteSource& compressed, std::size_t chunk)
    : m_compressed(compressed), m_input(chunk == 0 ? 1 : chunk) {
  if (inflateInit2(&m_stream, kGzipWindowBits) != Z_OK) {
    throw std::bad_alloc();
  }
}

GzipSource::~GzipSource() {
  inflateEnd(&m_stream);
}

void GzipSource::refill() {
  const std::size_t count =
      m_compressed.read(reinterpret_cast<char*>(m_input.data()), m_input.size());
  m_compressedRead += count;
  m_inputEnded = count == 0;
  m_stream.next_in = m_input.data();
  m_stream.avail_in = static_cast<uInt>(count);
}

// After a member: true at the end of the file; otherwise the next member begins.
bool GzipSource::atCleanEnd() {
  if (m_stream.avail_in == 0) {
    refill();
    if (m_inputEnded) {
      return true;
    }
  }
  inflateReset(&m_stream);
  m_memberEnded = false;
  return false;
}

std::size_t GzipSource::read(char* buffer, std::size_t capacity) {
  const auto room =
      static_cast<uInt>(std::min<std::size_t>(capacity, std::numeric_limits<uInt>::max()));
  m_stream.next_out = reinterpret_cast<Bytef*>(buffer);
  m_stream.avail_out = room;
  while (m_stream.avail_out == room && room > 0) {
    if (m_memberEnded && atCleanEnd()) {
      return 0;
    }
    if (m_stream.avail_in == 0) {
      refill();
      if (m_inputEnded) {
        throw ConversionError(FailureKind::Read, kTruncated);
      }
    }
    const int result = inflate(&m_stream, Z_NO_FLUSH);
    if (result == Z_STREAM_END) {
      m_memberEnded = true;
    } else if (result == Z_MEM_ERROR) {
      throw std::bad_alloc();
    } else if (result != Z_OK && result != Z_BUF_ERROR) {
      ThrowCorrupt(m_stream);
    }
  }
  return room - m_stream.avail_out;
}

void GzipSource::rewind() {
  m_compressed.rewind();
  inflateReset(&m_stream);
  m_stream.next_in = nullptr;
  m_stream.avail_in = 0;
  m_compressedRead = 0;
  m_inputEnded = false;
  m_memberEnded = false;
}

}  // namespace rowvane
