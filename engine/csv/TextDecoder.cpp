#include "engine/csv/TextDecoder.h"

#include <array>

namespace rowvane {
namespace {

// Code points of the bytes 0x80 to 0x9F in Windows-1252; the five bytes the
// code page leaves undefined map to the C1 controls of the same value.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

ByteOrderMark DetectByteOrderMark(std::string_view head) {
  auto startsWith = [&](std::string_view mark) { return head.substr(0, mark.size()) == mark; };
  if (startsWith("\xEF\xBB\xBF")) {
    return {Encoding::Utf8, 3};
  }
  if (startsWith("\xFF\xFE")) {
    return {Encoding::Utf16LE, 2};
  }
  if (startsWith("\xFE\xFF")) {
    return {Encoding::Utf16BE, 2};
  }
  return {Encoding::Utf8, 0};
}

void TextDecoder::decode(std::string_view bytes, std::string& out) {
  switch (m_encoding) {
    case Encoding::Utf8:
      decodeUtf8(bytes, out);
      return;
    case Encoding::Windows1252:
      out.reserve(out.size() + bytes.size() * 2);
      for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
          out.push_back(c);
        } else if (byte < 0xA0) {
          AppendUtf8(kWindows1252High[byte - 0x80], out);
        } else {
          AppendUtf8(byte, out);
        }
      }
      return;
    case Encoding::Utf16LE:
    case Encoding::Utf16BE:
      decodeUtf16(bytes, out);
      return;
  }
}

void TextDecoder::decodeUtf8(std::string_view bytes, std::string& out) {
  out.reserve(out.size() + bytes.size());
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* const end = p + bytes.size();
  while (p < end) {
    if (m_pending == 0) {
      const auto* const run = p;
      while (end - p >= 8 && IsAscii8(p)) {
        p += 8;
      }
      while (p < end && *p < 0x80) {
        ++p;
      }
      out.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(p - run));
      if (p == end) {
        return;
      }
      const unsigned char lead = *p++;
      if (!StartUtf8Sequence(lead, m_pending, m_lower, m_upper)) {
        replaceUtf8Sequence(out);  // a byte that can never start a character
        continue;
      }
      m_partial[0] = static_cast<char>(lead);
      m_partialLength = 1;
      continue;
    }
    const unsigned char next = *p;
    if (next < m_lower || next > m_upper) {
      // The character broke off: its start becomes one U+FFFD, and this byte
      // is read again as the start of what follows.
      replaceUtf8Sequence(out);
      continue;
    }
    ++p;
    m_partial[m_partialLength++] = static_cast<char>(next);
    m_lower = 0x80;
    m_upper = 0xBF;
    if (--m_pending == 0) {
      out.append(m_partial.data(), m_partialLength);
      m_partialLength = 0;
    }
  }
}

void TextDecoder::replaceUtf8Sequence(std::string& out) {
  AppendUtf8(kReplacement, out);
  ++m_utf8Replacements;
  m_pending = 0;
  m_partialLength = 0;
}

void TextDecoder::decodeUtf16(std::string_view bytes, std::string& out) {
  out.reserve(out.size() + bytes.size() * 3 / 2 + 4);
  const bool littleEndian = m_encoding == Encoding::Utf16LE;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (m_oddByte < 0) {
      m_oddByte = byte;
      continue;
    }
    const auto first = static_cast<std::uint16_t>(m_oddByte);
    m_oddByte = -1;
    const auto unit =
        static_cast<std::uint16_t>(littleEndian ? (first | (byte << 8)) : ((first << 8) | byte));
    emitUnit(unit, out);
  }
}

void TextDecoder::emitUnit(std::uint16_t unit, std::string& out) {
  const bool isHigh = unit >= 0xD800 && unit <= 0xDBFF;
  const bool isLow = unit >= 0xDC00 && unit <= 0xDFFF;
  if (m_highSurrogate != 0) {
    if (isLow) {
      AppendUtf8(0x10000 + ((char32_t{m_highSurrogate} - 0xD800) << 10) + (unit - 0xDC00u), out);
      m_highSurrogate = 0;
      return;
    }
    replaceUtf16Unit(out);  // the pending high surrogate had no partner
    m_highSurrogate = 0;
  }
  if (isHigh) {
    m_highSurrogate = unit;
  } else if (isLow) {
    replaceUtf16Unit(out);
  } else {
    AppendUtf8(unit, out);
    m_lineOpen = unit != '\r' && unit != '\n';
  }
}

void TextDecoder::replaceUtf16Unit(std::string& out) {
  AppendUtf8(kReplacement, out);
  ++m_utf16Replacements;
  m_lineOpen = true;
}

void TextDecoder::finish(std::string& out) {
  if (m_partialLength > 0) {
    replaceUtf8Sequence(out);
  }
  if (m_highSurrogate != 0) {
    replaceUtf16Unit(out);
    m_highSurrogate = 0;
  }
  if (m_oddByte >= 0) {
    // Half a character: it may end the last line, never start one (a record).
    if (m_lineOpen) {
      AppendUtf8(kReplacement, out);
    }
    ++m_utf16Replacements;
    m_oddByte = -1;
  }
}

}  // namespace rowvane
