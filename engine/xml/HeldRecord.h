#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "engine/xml/XmlWriter.h"

namespace rowvane {

/// One record held whole, as its values arrive in pieces, for a layout that
/// needs all of a record at once. A record may take up to kMostBytes. Every
/// value stays readable for kCopySlack bytes past its end, and each knows
/// whether a byte escaping may change was put into it.
class HeldRecord {
 public:
  static constexpr std::size_t kMostBytes = std::size_t{16} << 20;

  /// Starts a record that begins on `line`.
  void begin(std::uint64_t line) {
    if (!m_bytes) {
      reserve(0);  // a buffer to copy into from the first piece on
    }
    m_size = 0;
    m_fields = 0;
    m_line = line;
  }
  /// Appends bytes to field `index` (fields arrive in order, from 0);
  /// `special` marks them as bytes escaping may change. Throws
  /// ConversionError(FailureKind::OutOfMemory) naming the line when the
  /// record grows past kMostBytes.
  void append(std::size_t index, std::string_view bytes, bool special = false) {
    enter(index);
    appendBytes(bytes);
    m_special[index] |= special ? 1 : 0;
  }
  /// The same for a piece readable kCopySlack bytes past its end.
  [[gnu::always_inline]] void appendPadded(std::size_t index, const char* data, std::size_t size) {
    enter(index);
    if (size <= kCopySlack && size <= m_capacity - m_size) {
      std::memcpy(m_bytes.get() + m_size, data, kCopySlack);  // the buffer has the slack too
      m_size += size;
      m_ends[index] = m_size;
    } else {
      appendBytes(std::string_view(data, size));
    }
  }
  /// The values, `count` of them: missing ones empty, extra ones left out.
  std::span<const std::string_view> values(std::size_t count);
  /// Per value of the last values(): 1 when it holds a special byte.
  std::span<const std::uint8_t> special() const { return {m_special.data(), m_views.size()}; }
  std::uint64_t line() const { return m_line; }

 private:
  [[gnu::always_inline]] void enter(std::size_t index) {
    if (index >= m_fields) {
      startFields(index);
    }
  }
  void startFields(std::size_t index);
  void appendBytes(std::string_view bytes);
  void reserve(std::size_t size);

  std::unique_ptr<char[]> m_bytes;
  std::size_t m_size = 0;
  std::size_t m_capacity = 0;  // not counting the slack
  // Per field begun: where its value ends in m_bytes, and whether it holds a
  // special byte. Kept from record to record; m_fields of them are in use.
  std::vector<std::size_t> m_ends;
  std::vector<std::uint8_t> m_special;
  std::size_t m_fields = 0;
  std::vector<std::string_view> m_views;
  std::uint64_t m_line = 0;
};

}  // namespace rowvane
