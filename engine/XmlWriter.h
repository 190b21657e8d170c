#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

#include "OutputSink.h"

namespace rowvane {

/// Buffers the output of a conversion and hands it to the sink in large
/// writes; runs larger than the buffer go straight through.
class XmlWriter {
 public:
  explicit XmlWriter(OutputSink& sink, std::size_t capacity = std::size_t{1} << 16)
      : m_sink(sink), m_buffer(std::make_unique<char[]>(capacity)), m_capacity(capacity) {}
  XmlWriter(const XmlWriter&) = delete;
  XmlWriter& operator=(const XmlWriter&) = delete;

  void put(const char* data, std::size_t size) {
    if (size <= m_capacity - m_size) {
      std::memcpy(m_buffer.get() + m_size, data, size);
      m_size += size;
      return;
    }
    putSlow(data, size);
  }
  void put(std::string_view text) { put(text.data(), text.size()); }

  /// Hands everything buffered to the sink.
  void flush() {
    if (m_size > 0) {
      const std::size_t size = m_size;
      m_size = 0;
      m_sink.write(m_buffer.get(), size);
    }
  }
  /// Forgets what is buffered (the conversion starts over).
  void reset() { m_size = 0; }

 private:
  void putSlow(const char* data, std::size_t size) {
    flush();
    if (size >= m_capacity) {
      m_sink.write(data, size);
    } else {
      std::memcpy(m_buffer.get(), data, size);
      m_size = size;
    }
  }

  OutputSink& m_sink;
  std::unique_ptr<char[]> m_buffer;
  std::size_t m_capacity;
  std::size_t m_size = 0;
};

}  // namespace rowvane
