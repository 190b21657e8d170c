#include "engine/csv/TextReader.h"

#include "engine/core/CopySlack.h"

#include <algorithm>
#include <cstring>

namespace rowvane {

TextReader::TextReader(ByteSource& source, std::size_t chunk, bool fallback,
                       std::optional<Encoding> fixed)
    : m_source(source), m_chunk(std::max<std::size_t>(chunk, 1)) {
  readMark(fixed);
  if (fixed) {
    m_encoding = *fixed;
    m_repairsUtf8 = *fixed == Encoding::Utf8;
  } else if (fallback && m_encoding == Encoding::Utf8) {
    m_encoding = Encoding::Windows1252;
  }
  m_decoder = TextDecoder(m_encoding);
}

std::size_t TextReader::readRaw(char* into, std::size_t capacity) {
  const std::size_t count = m_source.read(into, capacity);
  m_bytesRead += count;
  return count;
}

void TextReader::readMark(std::optional<Encoding> fixed) {
  char head[3];
  std::size_t length = 0;
  while (length < sizeof head) {
    const std::size_t count = readRaw(head + length, sizeof head - length);
    if (count == 0) {
      break;
    }
    length += count;
  }
  const ByteOrderMark mark = DetectByteOrderMark(std::string_view(head, length));
  m_encoding = mark.encoding;
  // A fixed encoding skips only its own mark; another is text in that encoding.
  const std::size_t skipped = !fixed || *fixed == mark.encoding ? mark.length : 0;
  m_pendingHead.assign(head + skipped, length - skipped);
}

void TextReader::makeRoom(std::size_t count) {
  if (m_begin > 0) {
    std::memmove(m_buffer.data(), m_buffer.data() + m_begin, available());
    m_end -= m_begin;
    m_begin = 0;
  }
  // The slack lets short runs be copied out with one fixed-size move.
  if (m_buffer.size() < m_end + count + kCopySlack) {
    m_buffer.resize(std::max(m_end + count + kCopySlack, m_buffer.size() * 2));
  }
}

bool TextReader::more() {
  std::size_t added = 0;
  while (added == 0 && !m_ended) {
    added = m_pendingHead.empty() ? readNext() : takeHead();
  }
  return added > 0;
}

std::size_t TextReader::takeHead() {
  std::string head;
  head.swap(m_pendingHead);
  return accept(head);
}

std::size_t TextReader::readNext() {
  if (checksUtf8()) {
    // UTF-8 needs no decoding: read straight into the window and check it there.
    makeRoom(m_chunk);
    const std::size_t count = readRaw(m_buffer.data() + m_end, m_chunk);
    if (count == 0) {
      return finishInput();
    }
    if (!m_validator.feed(std::string_view(m_buffer.data() + m_end, count))) {
      throw NotUtf8{};
    }
    m_lineBreaks.feed(std::string_view(m_buffer.data() + m_end, count));
    m_end += count;
    return count;
  }
  m_raw.resize(m_chunk);
  const std::size_t count = readRaw(m_raw.data(), m_chunk);
  if (count == 0) {
    return finishInput();
  }
  return accept(std::string_view(m_raw.data(), count));
}

std::size_t TextReader::accept(std::string_view bytes) {
  if (checksUtf8()) {
    if (!m_validator.feed(bytes)) {
      throw NotUtf8{};
    }
    return append(bytes);
  }
  m_decoded.clear();
  m_decoder.decode(bytes, m_decoded);
  return append(m_decoded);
}

std::size_t TextReader::finishInput() {
  m_ended = true;
  if (checksUtf8() && !m_validator.finish()) {
    throw NotUtf8{};
  }
  m_decoded.clear();
  m_decoder.finish(m_decoded);
  return append(m_decoded);
}

std::size_t TextReader::append(std::string_view text) {
  if (text.empty()) {
    return 0;
  }
  makeRoom(text.size());
  std::memcpy(m_buffer.data() + m_end, text.data(), text.size());
  m_lineBreaks.feed(text);
  m_end += text.size();
  return text.size();
}

}  // namespace rowvane
