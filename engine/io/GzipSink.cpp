#include "engine/io/GzipSink.h"

#include <algorithm>
#include <limits>
#include <new>

#include "engine/core/Failure.h"

namespace rowvane {
namespace {

constexpr int kGzipWindowBits = 16 + MAX_WBITS;
constexpr int kMemoryLevel = 8;  // zlib's default
constexpr int kUnixSystem = 3;   // the gzip header's number for Unix
constexpr std::size_t kOutputChunk = std::size_t{1} << 16;
constexpr const char* kCompressionFailed = "The output could not be compressed";

}  // namespace

GzipSink::GzipSink(OutputSink& target, int level) : m_target(target), m_output(kOutputChunk) {
  if (deflateInit2(&m_stream, level, Z_DEFLATED, kGzipWindowBits, kMemoryLevel,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::bad_alloc();
  }
  // zlib names the system it runs on in the header; every build names Unix,
  // so that the same input gives the same bytes on Linux and on Windows.
  m_header.os = kUnixSystem;
  deflateSetHeader(&m_stream, &m_header);
}

GzipSink::~GzipSink() {
  deflateEnd(&m_stream);
}

// Runs deflate over the pending input, handing each full output chunk on;
// with Z_FINISH until the stream's end is written.
void GzipSink::deflateAll(int flush) {
  int result = Z_OK;
  do {
    m_stream.next_out = reinterpret_cast<Bytef*>(m_output.data());
    m_stream.avail_out = static_cast<uInt>(m_output.size());
    result = deflate(&m_stream, flush);
    if (result == Z_STREAM_ERROR) {
      throw ConversionError(FailureKind::Write, kCompressionFailed);
    }
    const std::size_t produced = m_output.size() - m_stream.avail_out;
    if (produced > 0) {
      m_target.write(m_output.data(), produced);
    }
  } while (m_stream.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
}

void GzipSink::write(const char* data, std::size_t size) {
  constexpr std::size_t kMostAtOnce = std::numeric_limits<uInt>::max();
  while (size > 0) {
    const std::size_t part = std::min(size, kMostAtOnce);
    m_stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    m_stream.avail_in = static_cast<uInt>(part);
    deflateAll(Z_NO_FLUSH);
    data += part;
    size -= part;
  }
}

void GzipSink::discard() {
  m_target.discard();
  deflateReset(&m_stream);
}

void GzipSink::finish() {
  m_stream.next_in = nullptr;
  m_stream.avail_in = 0;
  deflateAll(Z_FINISH);
}

}  // namespace rowvane
