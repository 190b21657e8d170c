#pragma once

#include <zlib.h>

#include <vector>

#include "engine/io/OutputSink.h"

namespace rowvane {

/// Compresses what is written into one gzip member on another sink. finish()
/// writes the end of the stream; a sink destroyed without it leaves the other
/// sink with a stream that reads as truncated.
class GzipSink : public OutputSink {
 public:
  /// `level` from 1 (fastest) to 9 (smallest).
  GzipSink(OutputSink& target, int level);
  ~GzipSink() override;
  GzipSink(const GzipSink&) = delete;
  GzipSink& operator=(const GzipSink&) = delete;

  void write(const char* data, std::size_t size) override;
  /// Drops what the other sink holds too, and starts a new stream.
  void discard() override;
  void finish();

 private:
  void deflateAll(int flush);

  OutputSink& m_target;
  z_stream m_stream{};
  gz_header m_header{};  // read by zlib until the header is written
  std::vector<char> m_output;
};

}  // namespace rowvane
