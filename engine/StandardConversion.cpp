#include "engine/StandardConversion.h"

#include <array>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/NameTags.h"
#include "engine/PaddedText.h"
#include "engine/PausePoints.h"
#include "engine/TextDecoder.h"
#include "engine/XmlEscaping.h"

namespace rowvane {
namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
constexpr int kNeedMore = -1;

/// The bytes that end a run of plain data, in and out of quoted fields.
struct StopSet {
  std::array<bool, 256> marked{};
  // Bytes that end a run, each repeated in all eight lanes, for the eight-byte
  // search; unused slots repeat the first. With `below20` every byte under
  // 0x20 counts as well, and the lanes hold only the marked bytes from 0x20 up.
  std::array<std::uint64_t, 5> lanes{};
  std::uint64_t below20 = 0;  // kHigh to count bytes under 0x20, else 0
#if defined(__SSE2__)
  // The same lanes sixteen wide, for the sixteen-byte search: a field of
  // short values mostly ends within the first sixteen bytes, so one compare
  // per stop byte finds it.
  // (A plain array: std::array would drop the vector type's alignment attribute.)
  __m128i wide[5]{};
  // Bytes with their top bit flipped compare as signed below this exactly when
  // they are under 0x20 (0x20 flipped), or never (0x80 flipped, the least).
  __m128i wideBelow20{};
#endif

  void mark(unsigned char byte) {
    marked[byte] = true;
  }
  void prepareLanes(bool countBelow20) {
    below20 = countBelow20 ? 0x8080808080808080ULL : 0;
    std::size_t used = 0;
    for (int b = countBelow20 ? 0x20 : 0; b < 256; ++b) {
      if (marked[b] && used < lanes.size()) {
        lanes[used++] = 0x0101010101010101ULL * static_cast<std::uint64_t>(b);
      }
    }
    for (std::size_t i = used; i < lanes.size(); ++i) {
      lanes[i] = lanes[0];
    }
#if defined(__SSE2__)
    for (std::size_t i = 0; i < lanes.size(); ++i) {
      wide[i] = _mm_set1_epi8(static_cast<char>(lanes[i] & 0xFF));
    }
    wideBelow20 = _mm_set1_epi8(static_cast<char>(countBelow20 ? 0xA0 : 0x80));
#endif
  }
};

struct StopBytes {
  StopSet unquoted;
  StopSet quoted;
  bool escaping = false;
};

/// Finds the first byte in [from, end) that `stops` marks; `end` when none.
/// Many bytes at a time it may also stop at a byte under 0x20 that is not
/// marked (a tab), which the caller then takes as an ordinary character.
[[gnu::always_inline]] inline const char* FindStop(const char* from, const char* end,
                                                   const StopSet& stops) {
#if defined(__SSE2__)
  while (end - from >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    const __m128i flipped = _mm_xor_si128(bytes, _mm_set1_epi8(static_cast<char>(0x80)));
    __m128i hits = _mm_cmplt_epi8(flipped, stops.wideBelow20);
    hits = _mm_or_si128(hits, _mm_cmpeq_epi8(bytes, stops.wide[0]));
    hits = _mm_or_si128(hits, _mm_cmpeq_epi8(bytes, stops.wide[1]));
    hits = _mm_or_si128(hits, _mm_cmpeq_epi8(bytes, stops.wide[2]));
    hits = _mm_or_si128(hits, _mm_cmpeq_epi8(bytes, stops.wide[3]));
    hits = _mm_or_si128(hits, _mm_cmpeq_epi8(bytes, stops.wide[4]));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
    if (mask != 0) {
      return from + std::countr_zero(mask);
    }
    from += 16;
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    const auto zeroBytes = [](std::uint64_t x) { return (x - kOnes) & ~x & kHigh; };
    while (end - from >= 8) {
      std::uint64_t word;
      std::memcpy(&word, from, sizeof word);
      // The lowest set bit of each test marks its first hit exactly.
      const std::uint64_t hits =
          ((word - kOnes * 0x20) & ~word & stops.below20) | zeroBytes(word ^ stops.lanes[0]) |
          zeroBytes(word ^ stops.lanes[1]) | zeroBytes(word ^ stops.lanes[2]) |
          zeroBytes(word ^ stops.lanes[3]) | zeroBytes(word ^ stops.lanes[4]);
      if (hits != 0) {
        return from + std::countr_zero(hits) / 8;
      }
      from += 8;
    }
  }
  while (from < end && !stops.marked[static_cast<unsigned char>(*from)]) {
    ++from;
  }
  return from;
}

/// What scanning one record found.
struct ScannedRecord {
  std::size_t values = 0;        // 0 for an empty line
  bool abandoned = false;        // the sink asked to stop
  std::uint64_t lineBreaks = 0;  // crossed, inside quoted fields and the one that ended it
  std::optional<std::uint64_t> unterminatedQuote;  // line breaks before the open quote
  std::size_t length = 0;                          // bytes scanned, when peeking
};

/// Collects the header record's values into one text with their end offsets.
class HeaderValues {
 public:
  bool beginValue(std::size_t index) {
    if (index > 0) {
      m_ends.push_back(m_text.size());
    }
    return true;
  }
  bool data(const char* at, std::size_t size) {
    m_text.append(at, size);
    return true;
  }
  bool escaped(const char*, std::size_t, bool) { return true; }
  void endRecord(std::size_t) { m_ends.push_back(m_text.size()); }

  std::size_t count() const { return m_ends.size(); }
  std::string_view value(std::size_t index) const {
    const std::size_t begin = index == 0 ? 0 : m_ends[index - 1];
    return std::string_view(m_text).substr(begin, m_ends[index] - begin);
  }

 private:
  std::string m_text;
  std::vector<std::size_t> m_ends;
};

/// Compares a record's values with the header's as they are scanned, and
/// gives up at the first difference.
class HeaderComparison {
 public:
  explicit HeaderComparison(const HeaderValues& header) : m_header(header) {}
  bool beginValue(std::size_t index) {
    if (index > 0 && m_matched != m_header.value(index - 1).size()) {
      return false;
    }
    if (index >= m_header.count()) {
      return false;
    }
    m_current = m_header.value(index);
    m_matched = 0;
    return true;
  }
  bool data(const char* at, std::size_t size) {
    if (size > m_current.size() - m_matched ||
        std::memcmp(at, m_current.data() + m_matched, size) != 0) {
      return false;
    }
    m_matched += size;
    return true;
  }
  bool escaped(const char*, std::size_t, bool) { return false; }
  void endRecord(std::size_t last) {
    m_equal = last + 1 == m_header.count() && m_matched == m_current.size();
  }
  bool equal(const ScannedRecord& record) const {
    return !record.abandoned && (record.values == 0 ? m_header.count() == 0 : m_equal);
  }

 private:
  const HeaderValues& m_header;
  std::string_view m_current;
  std::size_t m_matched = 0;
  bool m_equal = false;
};

/// Closes field `index - 1` (when there is one) and opens field `index`.
[[gnu::noinline]] void WriteTagsOneByOne(XmlWriter& out, NameTags& tags, std::size_t index) {
  if (index > 0) {
    tags.writeClose(out, index - 1);
  }
  tags.writeOpen(out, index);
}

/// Writes a record's values between their field tags. Holds the writer's
/// cursor itself, so that in the hot loop it stays in registers: call
/// finish() before anything else writes.
class RecordWriter {
 public:
  RecordWriter(XmlWriter& out, NameTags& tags)
      : m_out(out), m_tags(tags), m_prepared(tags.prepared()), m_fields(tags.count()) {
    reload();
  }
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  [[gnu::always_inline]] bool beginValue(std::size_t index) {
    if (index < m_prepared.count) {
      const std::string_view tags = index > 0 ? m_prepared.between(index - 1) : m_prepared.open(0);
      put(tags.data(), tags.size());
    } else {
      sync();
      WriteTagsOneByOne(m_out, m_tags, index);
      reload();
      m_prepared = m_tags.prepared();  // writing may have prepared more
    }
    m_copying = index < m_fields;
    return true;
  }
  [[gnu::always_inline]] bool data(const char* at, std::size_t size) {
    if (m_copying) {
      put(at, size);
    }
    return true;
  }
  /// `replacement`: for a character XML forbids, counted when written.
  bool escaped(const char* padded, std::size_t size, bool replacement) {
    if (m_copying) {
      m_replaced += replacement ? 1 : 0;
      put(padded, size);
    }
    return true;
  }
  [[gnu::always_inline]] void endRecord(std::size_t last) {
    if (last < m_prepared.count) {
      const std::string_view tag = m_prepared.close(last);
      put(tag.data(), tag.size());
      return;
    }
    sync();
    m_tags.writeClose(m_out, last);
    reload();
  }
  void finish() { sync(); }
  std::uint64_t replaced() const { return m_replaced; }

 private:
  /// As XmlWriter::putPadded.
  [[gnu::always_inline]] void put(const char* padded, std::size_t size) {
    if (size <= kCopySlack && size <= static_cast<std::size_t>(m_limit - m_at)) {
      std::memcpy(m_at, padded, kCopySlack);
      m_at += size;
      return;
    }
    sync();
    m_out.put(padded, size);
    reload();
  }
  void sync() { m_out.setCursor(m_at); }
  void reload() {
    m_at = m_out.cursor();
    m_limit = m_out.limit();
  }

  XmlWriter& m_out;
  NameTags& m_tags;
  NameTags::Prepared m_prepared;  // the tags' own copy would be read again after every store
  std::size_t m_fields;           // the count of fields, fixed while a record is written
  char* m_at = nullptr;
  char* m_limit = nullptr;
  bool m_copying = false;
  std::uint64_t m_replaced = 0;
};

class FormatConversion {
 public:
  FormatConversion(TextReader& reader, XmlWriter& out, const ConversionSettings& settings,
                   ConversionObserver& observer, const ConversionTuning& tuning,
                   std::optional<std::uint64_t> inputSize)
      : m_reader(reader),
        m_out(out),
        m_settings(settings),
        m_observer(observer),
        m_pauses(observer, tuning.pauseInterval, inputSize, settings.IncludeRowTags),
        m_anyBreak(settings.Format.lineBreaks == LineBreaks::Any),
        m_quotes(settings.Format.quotes == Quotes::Double),
        m_escaping(settings.Format.escaping == Escaping::Xml),
        m_separator(settings.Separator),
        m_tags(settings.IncludeRowTags ? "  " : " ") {
    m_separatorCanMatch = !m_separator.empty() && separatorCanMatch();
    m_separatorEndsWithCr = !m_anyBreak && !m_separator.empty() && m_separator.back() == '\r';
    // A one-byte separator other than CR or LF needs no look-ahead: the common case.
    if (m_separatorCanMatch && m_separator.size() == 1 && m_separator != "\r" &&
        m_separator != "\n") {
      m_fastSeparator = m_separator.front();
      m_hasFastSeparator = true;
    }
    m_documentTag = m_escaping ? FixXmlName(settings.DocumentTag, "XML") : settings.DocumentTag;
    const std::string rowTag = m_escaping ? FixXmlName(settings.RowTag, "row") : settings.RowTag;
    m_rowOpen = m_texts.add(" <" + rowTag + ">\r\n");
    m_rowClose = m_texts.add(" </" + rowTag + ">\r\n");
    m_replacement = m_texts.add(kReplacementCharacter);
    prepareStopBytes(m_plain, false);
    prepareStopBytes(m_output, m_escaping);
    if (m_escaping) {
      for (int b = 0; b < 256; ++b) {
        const std::string_view entity = XmlEntityFor(static_cast<char>(b));
        if (!entity.empty()) {
          m_entities[b] = m_texts.add(entity);
        } else if (b < 0x20 && b != '\t' && b != '\n') {
          m_entities[b] = m_replacement;
        }
      }
    }
  }

  ConversionResult run() {
    if (m_escaping) {
      m_out.put(kDeclaration);
    }
    m_out.put("<");
    m_out.put(m_documentTag);
    m_out.put(">\r\n");
    bool firstRecordNamesFields = !m_settings.HasHeaderRow;
    if (m_settings.HasHeaderRow) {
      readHeader();
    }
    while (startRecord()) {
      convertRecord(firstRecordNamesFields);
      firstRecordNamesFields = false;
    }
    m_out.put("</");
    m_out.put(m_documentTag);
    m_out.put(">");
    m_out.flush();
    m_observer.onProgress(1.0);
    m_warnings.lineFeedsWithoutCrLf =
        !m_anyBreak && m_reader.lineBreaks().sawLf() && !m_reader.lineBreaks().sawCrLf();
    return {m_warnings, m_records};
  }

 private:
  bool separatorCanMatch() const {
    // A separator can never hold what ends a line.
    if (m_anyBreak) {
      return m_separator.find_first_of("\r\n") == std::string_view::npos;
    }
    return m_separator.find("\r\n") == std::string_view::npos;
  }

  void prepareStopBytes(StopBytes& stop, bool escaping) const {
    stop.escaping = escaping;
    for (StopSet* set : {&stop.unquoted, &stop.quoted}) {
      set->mark('\r');
      if (m_anyBreak) {
        set->mark('\n');
      }
      if (escaping) {
        for (unsigned char b = 0; b < 0x20; ++b) {
          if (b != '\t' && b != '\n') {
            set->mark(b);
          }
        }
        set->mark('&');
        set->mark('<');
        set->mark('>');
        set->mark(0xEF);  // U+FFFE and U+FFFF begin with it
      }
    }
    if (m_separatorCanMatch) {
      stop.unquoted.mark(static_cast<unsigned char>(m_separator.front()));
    }
    stop.quoted.mark('"');
    stop.unquoted.prepareLanes(escaping);
    stop.quoted.prepareLanes(escaping);
  }

  bool more() {
    const bool added = m_reader.more();
    pauseWhenDue();
    return added;
  }

  void pauseWhenDue() { m_pauses.whenDue(m_reader.bytesRead()); }

  /// Length of the line break at `at`; 0 when there is none, kNeedMore when
  /// the next byte decides.
  int breakAt(const char* at, const char* end, bool ended) const {
    if (*at == '\n') {
      return m_anyBreak ? 1 : 0;
    }
    if (*at != '\r') {
      return 0;
    }
    if (at + 1 == end) {
      return ended ? (m_anyBreak ? 1 : 0) : kNeedMore;
    }
    if (at[1] == '\n') {
      return 2;
    }
    return m_anyBreak ? 1 : 0;
  }

  /// Length of the separator at `at`; 0 when it is not there, kNeedMore when
  /// later bytes decide.
  int separatorAt(const char* at, const char* end, bool ended) const {
    if (!m_separatorCanMatch || *at != m_separator.front()) {
      return 0;
    }
    const std::size_t size = m_separator.size();
    const auto left = static_cast<std::size_t>(end - at);
    if (left < size + (m_separatorEndsWithCr ? 1 : 0) && !ended) {
      return kNeedMore;
    }
    if (left < size || std::memcmp(at, m_separator.data(), size) != 0) {
      return 0;
    }
    // CR LF stays a line break where the separator's last CR would take it.
    if (m_separatorEndsWithCr && left > size && at[size] == '\n') {
      return 0;
    }
    return static_cast<int>(size);
  }

  /// Scans one record from the start of the reader's text, handing its values
  /// to `sink`. Consumes what it scans unless `kPeek`; peeking keeps the text
  /// for the caller to consume or not.
  template <bool kPeek, class Sink>
  ScannedRecord scanRecord(Sink& sink, const StopBytes& stops) {
    ScannedRecord record;
    std::size_t offset = 0;  // of p from the reader's begin()
    const char* base = m_reader.begin();
    const char* p = base;
    const char* end = m_reader.end();
    bool ended = m_reader.ended();
    const auto reload = [&] {
      base = m_reader.begin();
      p = base + offset;
      end = m_reader.end();
      ended = m_reader.ended();
    };
    // Reads on, keeping p; false at the end of the input.
    const auto refill = [&]() -> bool {
      offset = static_cast<std::size_t>(p - base);
      if constexpr (!kPeek) {
        m_reader.consume(offset);
        offset = 0;
      }
      const bool added = more();
      reload();
      return added;
    };
    // Each return gives `record` itself, so it is built in place.
    const auto finish = [&](std::size_t values) {
      offset = static_cast<std::size_t>(p - base);
      if constexpr (!kPeek) {
        m_reader.consume(offset);
      }
      record.length = offset;
      record.values = values;
    };

    // A line break first: an empty line, a record with no values.
    for (;;) {
      const int length = p < end ? breakAt(p, end, ended) : 0;
      if (length == kNeedMore) {
        refill();
        continue;
      }
      if (length > 0) {
        p += length;
        ++record.lineBreaks;
        finish(0);
        return record;
      }
      break;
    }
    // Held in locals: stores through the output's char pointer could alias members.
    const bool quotes = m_quotes;
    const bool hasFastSeparator = m_hasFastSeparator;
    const char fastSeparator = m_fastSeparator;
    enum class State { FieldStart, Unquoted, Quoted };
    State state = State::FieldStart;
    std::uint64_t breaksBeforeQuote = 0;
    std::size_t field = 0;
    if (!sink.beginValue(0)) {
      record.abandoned = true;
      return record;
    }
    for (;;) {
      if (p == end) {
        if (!refill()) {
          if (state == State::Quoted) {
            record.unterminatedQuote = breaksBeforeQuote;
          }
          sink.endRecord(field);
          finish(field + 1);
          return record;
        }
        continue;
      }
      if (state == State::FieldStart) {
        if (quotes && *p == '"') {
          state = State::Quoted;
          breaksBeforeQuote = record.lineBreaks;
          ++p;
          continue;
        }
        state = State::Unquoted;
      }
      const bool quoted = state == State::Quoted;
      const char* q = FindStop(p, end, quoted ? stops.quoted : stops.unquoted);
      if (q != p && !sink.data(p, static_cast<std::size_t>(q - p))) {
        record.abandoned = true;
        return record;
      }
      p = q;
      if (q == end) {
        continue;
      }
      if (!quoted && hasFastSeparator && *q == fastSeparator) {
        ++field;
        if (!sink.beginValue(field)) {
          record.abandoned = true;
          return record;
        }
        p = q + 1;
        state = State::FieldStart;
        continue;
      }
      if (quoted) {
        if (*q == '"') {
          if (q + 1 == end && !ended) {
            refill();
            continue;
          }
          if (q + 1 < end && q[1] == '"') {
            if (!sink.data(q, 1)) {
              record.abandoned = true;
              return record;
            }
            p = q + 2;
          } else if (q + 1 < end && hasFastSeparator && q[1] == fastSeparator) {
            ++field;  // the common case: the separator right after the closing quote
            if (!sink.beginValue(field)) {
              record.abandoned = true;
              return record;
            }
            p = q + 2;
            state = State::FieldStart;
          } else {
            p = q + 1;
            state = State::Unquoted;  // what follows the closing quote is appended
          }
          continue;
        }
        if (*q == '\r' || *q == '\n') {
          const int length = breakAt(q, end, ended);
          if (length == kNeedMore) {
            refill();
            continue;
          }
          // CR LF counts once, at its LF.
          if (length > 0 && !(length == 2 && *q == '\r' && m_anyBreak)) {
            ++record.lineBreaks;
          }
        }
      } else {
        const int lineBreak = breakAt(q, end, ended);
        if (lineBreak == kNeedMore) {
          refill();
          continue;
        }
        if (lineBreak > 0) {
          p = q + lineBreak;
          ++record.lineBreaks;
          sink.endRecord(field);
          finish(field + 1);
          return record;
        }
        const int separator = separatorAt(q, end, ended);
        if (separator == kNeedMore) {
          refill();
          continue;
        }
        if (separator > 0) {
          ++field;
          if (!sink.beginValue(field)) {
            record.abandoned = true;
            return record;
          }
          p = q + separator;
          state = State::FieldStart;
          continue;
        }
      }
      // An ordinary character that a stop byte began.
      const auto byte = static_cast<unsigned char>(*q);
      if (stops.escaping) {
        if (byte == 0xEF) {
          if (end - q < 3 && !ended) {
            refill();
            continue;
          }
          if (end - q >= 3 && static_cast<unsigned char>(q[1]) == 0xBF &&
              (static_cast<unsigned char>(q[2]) & 0xFE) == 0xBE) {
            if (!sink.escaped(m_texts.at(m_replacement), m_replacement.size, true)) {
              record.abandoned = true;
              return record;
            }
            p = q + 3;
            continue;
          }
        } else if (m_entities[byte].size > 0) {
          const PaddedTexts::Ref entity = m_entities[byte];
          if (!sink.escaped(m_texts.at(entity), entity.size,
                            entity.offset == m_replacement.offset)) {
            record.abandoned = true;
            return record;
          }
          p = q + 1;
          continue;
        }
      }
      if (!sink.data(q, 1)) {
        record.abandoned = true;
        return record;
      }
      p = q + 1;
    }
  }

  void account(const ScannedRecord& record) {
    if (record.unterminatedQuote && !m_warnings.unterminatedQuoteLine) {
      m_warnings.unterminatedQuoteLine = m_line + *record.unterminatedQuote;
    }
    m_line += record.lineBreaks;
  }

  /// Skips the empty lines at the reader's position, where they carry no
  /// record; false at the end of the input.
  bool skipEmptyLines() {
    if (m_reader.available() > 0 && *m_reader.begin() != '\r' && *m_reader.begin() != '\n') {
      return true;  // the common case, kept short
    }
    for (;;) {
      if (m_reader.available() == 0 && !more()) {
        return false;
      }
      if (!m_anyBreak) {
        return true;
      }
      const char first = *m_reader.begin();
      if (first != '\r' && first != '\n') {
        return true;
      }
      m_reader.require(2);
      const bool crLf = first == '\r' && m_reader.available() >= 2 && m_reader.begin()[1] == '\n';
      m_reader.consume(crLf ? 2 : 1);
      ++m_line;
    }
  }

  /// Takes the first record as the header; it never carries a record.
  void readHeader() {
    if (!skipEmptyLines()) {
      m_tags.setCount(0);
      return;
    }
    account(scanRecord<false>(m_header, m_plain));
    for (std::size_t i = 0; i < m_header.count(); ++i) {
      m_tags.add(headerName(i));
    }
    m_tags.setCount(m_header.count());
  }

  std::string headerName(std::size_t index) const {
    if (m_escaping) {
      return FixXmlName(m_header.value(index), "header" + std::to_string(index + 1));
    }
    return std::string(m_header.value(index));
  }

 public:
  /// See FieldNamesWithFormat.
  std::vector<std::string> fieldNames() {
    std::vector<std::string> names;
    if (m_settings.HasHeaderRow) {
      readHeader();
      for (std::size_t i = 0; i < m_header.count(); ++i) {
        names.push_back(headerName(i));
      }
    } else if (skipEmptyLines()) {
      HeaderValues first;
      scanRecord<false>(first, m_plain);
      for (std::size_t i = 0; i < first.count(); ++i) {
        names.push_back("header" + std::to_string(i + 1));
      }
    }
    return names;
  }

 private:
  /// False when the record at the reader's position cannot repeat the header:
  /// its first value must begin as the header's does.
  bool mayRepeatHeader() {
    if (m_header.count() == 0) {
      return true;
    }
    const std::string_view first = m_header.value(0);
    const char* at = m_reader.begin();
    if (m_quotes && *at == '"') {
      // Quoted, the value's first character follows the quote (`""` for a quote).
      m_reader.require(2);
      at = m_reader.begin();
      return m_reader.available() < 2 || at[1] == (first.empty() ? '"' : first.front());
    }
    return first.empty() || *at == first.front();
  }

  /// Skips empty lines and header repeats; false when no record is left.
  bool startRecord() {
    for (;;) {
      if (!skipEmptyLines()) {
        return false;
      }
      if (!m_settings.HasHeaderRow) {
        return true;
      }
      if (!mayRepeatHeader()) {
        return true;
      }
      HeaderComparison comparison(m_header);
      const ScannedRecord record = scanRecord<true>(comparison, m_plain);
      if (!comparison.equal(record)) {
        return true;
      }
      m_reader.consume(record.length);
      account(record);
    }
  }

  void convertRecord(bool namesFields) {
    const bool rowTags = m_pauses.includeRowTags();
    m_tags.reindent(rowTags ? "  " : " ");
    if (rowTags) {
      m_texts.write(m_out, m_rowOpen);
    }
    RecordWriter writer(m_out, m_tags);
    const ScannedRecord record = scanRecord<false>(writer, m_output);
    writer.finish();
    account(record);
    m_warnings.replacedCharacters += writer.replaced();
    ++m_records;
    if (namesFields) {
      m_tags.setCount(record.values);
    } else if (record.values > m_tags.count()) {
      m_warnings.droppedValues += record.values - m_tags.count();
    }
    for (std::size_t field = record.values; field < m_tags.count(); ++field) {
      m_tags.writeOpen(m_out, field);
      m_tags.writeClose(m_out, field);
    }
    if (rowTags) {
      m_texts.write(m_out, m_rowClose);
    }
  }

  TextReader& m_reader;
  XmlWriter& m_out;
  const ConversionSettings& m_settings;
  ConversionObserver& m_observer;
  PausePoints m_pauses;
  bool m_anyBreak;
  bool m_quotes;
  bool m_escaping;
  std::string_view m_separator;
  bool m_separatorCanMatch = false;
  bool m_separatorEndsWithCr = false;
  bool m_hasFastSeparator = false;  // the separator is one byte, not CR or LF
  char m_fastSeparator = 0;
  std::string m_documentTag;
  PaddedTexts m_texts;
  PaddedTexts::Ref m_rowOpen;
  PaddedTexts::Ref m_rowClose;
  PaddedTexts::Ref m_replacement;
  std::array<PaddedTexts::Ref, 256> m_entities{};
  StopBytes m_plain;   // header and header repeats: nothing escaped
  StopBytes m_output;  // records written out
  HeaderValues m_header;
  NameTags m_tags;
  std::uint64_t m_line = 1;
  std::uint64_t m_records = 0;
  ConversionWarnings m_warnings;
};

}  // namespace

ConversionResult ConvertWithFormat(TextReader& reader, XmlWriter& out,
                                   const ConversionSettings& settings, ConversionObserver& observer,
                                   const ConversionTuning& tuning,
                                   std::optional<std::uint64_t> inputSize) {
  return FormatConversion(reader, out, settings, observer, tuning, inputSize).run();
}

std::vector<std::string> FieldNamesWithFormat(TextReader& reader,
                                              const ConversionSettings& settings) {
  // Nothing is written: the writer only has to exist.
  MemorySink nowhere;
  XmlWriter out(nowhere, 0);
  ConversionObserver quiet;
  return FormatConversion(reader, out, settings, quiet, {}, std::nullopt).fieldNames();
}

}  // namespace rowvane
