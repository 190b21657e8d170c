#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/csv/LineBreakSurvey.h"
#include "engine/csv/TextDecoder.h"
#include "engine/io/ByteSource.h"

namespace rowvane {

/// Thrown by TextReader when text without a byte-order mark turns out not to
/// be valid UTF-8; the conversion then starts over in Windows-1252.
struct NotUtf8 {};

/// Reads a source as UTF-8 text into a window that only grows as far as a
/// caller's look-ahead needs. The byte-order mark is not part of the text.
/// The window stays readable for kCopySlack bytes past end().
class TextReader {
 public:
  /// `fallback`: decode the text after any UTF-8 mark as Windows-1252 rather
  /// than trying UTF-8 first. `fixed`: read the text in that encoding whatever
  /// the bytes look like (`fallback` is then ignored): its own byte-order mark
  /// is skipped, any other is read as text, and ill-formed UTF-8 becomes
  /// U+FFFD instead of throwing NotUtf8.
  TextReader(ByteSource& source, std::size_t chunk, bool fallback,
             std::optional<Encoding> fixed = std::nullopt);

  const char* begin() const { return m_buffer.data() + m_begin; }
  const char* end() const { return m_buffer.data() + m_end; }
  std::size_t available() const { return m_end - m_begin; }
  void consumeTo(const char* position) {
    m_begin = static_cast<std::size_t>(position - m_buffer.data());
  }
  void consume(std::size_t count) { m_begin += count; }
  /// True once the source has ended: what is available is all that is left.
  bool ended() const { return m_ended; }

  /// Appends more text behind what is available. False, with nothing added,
  /// when the source has ended. Throws NotUtf8, or the source's errors.
  bool more();
  /// Reads until at least `count` bytes are available or the source ends.
  void require(std::size_t count) {
    while (available() < count && more()) {
    }
  }

  std::uint64_t bytesRead() const { return m_bytesRead; }
  /// Whether the text read so far holds LF, and CR LF.
  const LineBreakSurvey& lineBreaks() const { return m_lineBreaks; }
  /// Ill-formed UTF-8 sequences replaced by U+FFFD so far (fixed UTF-8 only).
  std::uint64_t utf8Replacements() const { return m_decoder.utf8Replacements(); }
  /// Ill-formed UTF-16 replaced by U+FFFD or dropped so far (UTF-16 input only).
  std::uint64_t utf16Replacements() const { return m_decoder.utf16Replacements(); }

 private:
  void readMark(std::optional<Encoding> fixed);
  bool checksUtf8() const { return m_encoding == Encoding::Utf8 && !m_repairsUtf8; }
  std::size_t readRaw(char* into, std::size_t capacity);
  void makeRoom(std::size_t count);
  std::size_t readNext();
  std::size_t takeHead();
  std::size_t accept(std::string_view bytes);
  std::size_t finishInput();
  std::size_t append(std::string_view text);

  ByteSource& m_source;
  std::size_t m_chunk;
  Encoding m_encoding = Encoding::Utf8;
  bool m_repairsUtf8 = false;  // a fixed UTF-8: ill-formed bytes become U+FFFD
  TextDecoder m_decoder{Encoding::Utf8};
  Utf8Validator m_validator;
  LineBreakSurvey m_lineBreaks;
  std::string m_pendingHead;  // bytes read while looking for the mark
  std::vector<char> m_raw;    // read buffer for encodings that need decoding
  std::string m_decoded;
  std::vector<char> m_buffer;
  std::size_t m_begin = 0;
  std::size_t m_end = 0;
  std::uint64_t m_bytesRead = 0;
  bool m_ended = false;
};

}  // namespace rowvane
