#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/xml/ValuePlace.h"
#include "engine/xml/XmlWriter.h"

namespace rowvane {

/// Writes a layout's output through the conversion's writer, and values
/// escaped for their place: `&` `<` `>` and CR as entities; in attribute
/// values also `"`, tab and LF. Characters XML 1.0 forbids are written as
/// U+FFFD and counted. Values are UTF-8.
class EscapingOutput {
 public:
  explicit EscapingOutput(XmlWriter& out) : m_out(out) {}
  EscapingOutput(const EscapingOutput&) = delete;
  EscapingOutput& operator=(const EscapingOutput&) = delete;

  void put(const char* data, std::size_t size) { m_out.put(data, size); }
  void put(std::string_view text) { m_out.put(text); }
  /// As XmlWriter::putPadded: `data` is readable kCopySlack bytes past `size`.
  void putPadded(const char* data, std::size_t size) { m_out.putPadded(data, size); }
  /// Writes `value` escaped for `place`.
  void putValue(std::string_view value, ValuePlace place);
  /// Writes U+FFFD for a character XML forbids, and counts it.
  void putReplacement();
  /// Hands everything buffered to the sink.
  void flush() { m_out.flush(); }
  /// The writer underneath, for a hot loop's WriteCursor.
  XmlWriter& writer() { return m_out; }
  /// Characters written as U+FFFD so far.
  std::uint64_t replaced() const { return m_replaced; }

  /// What putValue does with a byte: 0 copies it; otherwise see the .cpp.
  using ByteActions = std::array<std::uint8_t, 256>;

 private:
  XmlWriter& m_out;
  std::uint64_t m_replaced = 0;
};

/// How many bytes at `at` a layout takes for the special byte there, so that
/// U+FFFE and U+FFFF (EF BF BE, EF BF BF), which XML forbids, reach
/// EscapingOutput whole: 3 for an EF with its two bytes, 0 while they may
/// still come, else 1 (or what is left at the end).
inline std::size_t SpecialByteLength(const char* at, std::size_t available, bool ended) {
  if (static_cast<unsigned char>(*at) != 0xEF) {
    return 1;
  }
  if (available < 3 && !ended) {
    return 0;
  }
  return available >= 3 ? 3 : available;
}

}  // namespace rowvane
