#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

#include "engine/core/CopySlack.h"
#include "engine/io/OutputSink.h"

namespace rowvane {

/// Buffers the output of a conversion and hands it to the sink in large
/// writes; runs larger than the buffer go straight through.
class XmlWriter {
 public:
  explicit XmlWriter(OutputSink& sink, std::size_t capacity = std::size_t{1} << 18)
      : m_sink(sink),
        m_buffer(std::make_unique_for_overwrite<char[]>(capacity + kCopySlack)),
        m_capacity(capacity) {}
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

  /// Like put(), for a source that stays readable for kCopySlack bytes past
  /// `size`: short runs are copied with one fixed-size move.
  void putPadded(const char* data, std::size_t size) {
    if (size <= kCopySlack && size <= m_capacity - m_size) {
      std::memcpy(m_buffer.get() + m_size, data, kCopySlack);
      m_size += size;
      return;
    }
    put(data, size);
  }

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

  /// Where the next byte goes, and how far the buffer reaches; see WriteCursor.
  char* cursor() { return m_buffer.get() + m_size; }
  char* limit() { return m_buffer.get() + m_capacity; }
  void setCursor(char* at) { m_size = static_cast<std::size_t>(at - m_buffer.get()); }

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

/// Appends to a writer through pointers held by value, for hot loops: kept in
/// registers, they need no reload after every byte stored. Call sync() before
/// anything else writes to the writer, reload() after, and sync() when done.
class WriteCursor {
 public:
  explicit WriteCursor(XmlWriter& writer) : m_writer(writer) { reload(); }
  WriteCursor(const WriteCursor&) = delete;
  WriteCursor& operator=(const WriteCursor&) = delete;

  /// As XmlWriter::putPadded.
  [[gnu::always_inline]] void putPadded(const char* data, std::size_t size) {
    if (size <= kCopySlack && size <= static_cast<std::size_t>(m_limit - m_at)) {
      std::memcpy(m_at, data, kCopySlack);
      m_at += size;
      return;
    }
    sync();
    m_writer.put(data, size);
    reload();
  }
  void sync() { m_writer.setCursor(m_at); }
  void reload() {
    m_at = m_writer.cursor();
    m_limit = m_writer.limit();
  }

 private:
  XmlWriter& m_writer;
  char* m_at = nullptr;
  char* m_limit = nullptr;
};

}  // namespace rowvane
