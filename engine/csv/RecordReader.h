#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/core/ConversionObserver.h"
#include "engine/core/ConversionResult.h"
#include "engine/core/ConversionSettings.h"
#include "engine/core/ConversionTuning.h"
#include "engine/core/CopySlack.h"
#include "engine/core/Failure.h"
#include "engine/core/PausePoints.h"
#include "engine/csv/HeaderLine.h"
#include "engine/csv/HeaderNames.h"
#include "engine/csv/RecordLayout.h"
#include "engine/csv/TextReader.h"

namespace rowvane {
/// The record reader's parts; see ReadRecords.
namespace reading {

inline constexpr std::string_view kCrLf = "\r\n";
inline constexpr int kNeedMore = -1;
// Fields a record lacks are written this many at a time between two chances
// to pause.
inline constexpr std::size_t kEmptyFieldsBetweenPauses = 4096;
// A header line is looked for in the input window up to this length; longer
// ones are moved out of the window as they are read.
inline constexpr std::size_t kHeaderKeptInWindow = std::size_t{1} << 20;
// Readable for kCopySlack bytes: the value of a field a record lacks.
inline constexpr char kNothing[kCopySlack] = {};

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

  bool scalarOnly = false;  // more stop bytes than lanes: one byte at a time
  bool narrow = false;      // at most two stop bytes, none of them under 0x20 but CR and LF

  void mark(unsigned char byte) {
    marked[byte] = true;
  }
  /// When bytes under 0x20 other than CR and LF stop a run, the fast searches
  /// stop at every byte under 0x20 (the caller takes those not marked as
  /// ordinary), which leaves the lanes to the bytes from 0x20 up.
  void prepareLanes() {
    bool controls = false;
    for (int b = 0; b < 0x20; ++b) {
      controls = controls || (marked[b] && b != '\r' && b != '\n');
    }
    below20 = controls ? 0x8080808080808080ULL : 0;
    std::size_t used = 0;
    for (int b = controls ? 0x20 : 0; b < 256; ++b) {
      if (marked[b]) {
        scalarOnly = scalarOnly || used == lanes.size();
        if (used < lanes.size()) {
          lanes[used++] = 0x0101010101010101ULL * static_cast<std::uint64_t>(b);
        }
      }
    }
    for (std::size_t i = used; i < lanes.size(); ++i) {
      lanes[i] = lanes[0];
    }
    narrow = !controls && used <= 2;
#if defined(__SSE2__)
    for (std::size_t i = 0; i < lanes.size(); ++i) {
      wide[i] = _mm_set1_epi8(static_cast<char>(lanes[i] & 0xFF));
    }
    wideBelow20 = _mm_set1_epi8(static_cast<char>(controls ? 0xA0 : 0x80));
#endif
  }
};

struct StopBytes {
  StopSet unquoted;
  StopSet quoted;
  const SpecialBytes* special = nullptr;  // the layout's, for values written out
};

/// Finds the first byte in [from, end) that `stops` marks; `end` when none.
/// Many bytes at a time it may also stop at a byte under 0x20 that is not
/// marked (a tab), which the caller then takes as an ordinary character.
[[gnu::always_inline]] inline const char* FindStop(const char* from, const char* end,
                                                   const StopSet& stops) {
#if defined(__SSE2__)
  if (stops.narrow) {
    // The classic reading stops at CR and the separator only: two compares.
    while (end - from >= 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
      const __m128i hits =
          _mm_or_si128(_mm_cmpeq_epi8(bytes, stops.wide[0]), _mm_cmpeq_epi8(bytes, stops.wide[1]));
      const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
      if (mask != 0) {
        return from + std::countr_zero(mask);
      }
      from += 16;
    }
  }
#endif
  if (!stops.scalarOnly) [[likely]] {
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

/// Collects the header record's values.
class HeaderValues {
 public:
  explicit HeaderValues(HeaderNames& names) : m_names(names) {}
  bool piece(std::size_t, const char* at, std::size_t size, PieceEnd end) {
    m_names.appendValue(at, size);
    if (end != PieceEnd::More) {
      m_names.endValue();
    }
    return true;
  }
  // The header and its repeats are read without special bytes.
  std::size_t special(std::size_t, const char*, std::size_t, bool) { return 1; }

 private:
  HeaderNames& m_names;
};

/// Compares a record's values with the header's as they are scanned, and
/// gives up at the first difference.
class HeaderComparison {
 public:
  explicit HeaderComparison(HeaderNames& header) : m_header(header) {}
  bool piece(std::size_t field, const char* at, std::size_t size, PieceEnd end) {
    if (field != m_field) {
      if (field >= m_header.count()) {
        return false;
      }
      m_field = field;
      m_current = m_header.name(field);
      m_matched = 0;
    }
    if (size > m_current.size() - m_matched ||
        std::memcmp(at, m_current.data() + m_matched, size) != 0) {
      return false;
    }
    m_matched += size;
    return end == PieceEnd::More || m_matched == m_current.size();
  }
  // The header and its repeats are read without special bytes.
  std::size_t special(std::size_t, const char*, std::size_t, bool) { return 1; }
  bool equal(const ScannedRecord& record) const {
    return !record.abandoned && record.values == m_header.count();
  }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  HeaderNames& m_header;
  std::size_t m_field = kNone;
  std::string_view m_current;
  std::size_t m_matched = 0;
};

template <RecordLayout Layout>
class Reader {
 public:
  Reader(TextReader& reader, Layout& layout, const ConversionSettings& settings,
         ConversionObserver& observer, const ConversionTuning& tuning,
         std::optional<std::uint64_t> inputSize)
      : m_reader(reader),
        m_layout(layout),
        m_settings(settings),
        m_observer(observer),
        m_pauses(observer, tuning.pauseInterval, inputSize, settings.IncludeRowTags),
        m_anyBreak(settings.Format.lineBreaks == LineBreaks::Any),
        m_quotes(settings.Format.quotes == Quotes::Double),
        m_wholeLines(!m_anyBreak && !m_quotes),
        m_separator(settings.Separator),
        m_headerSplitStep(tuning.headerSplitStep) {
    m_separatorCanMatch = !m_separator.empty() && separatorCanMatch();
    m_separatorEndsWithCr = !m_anyBreak && !m_separator.empty() && m_separator.back() == '\r';
    // A one-byte separator other than CR or LF needs no look-ahead: the common case.
    if (m_separatorCanMatch && m_separator.size() == 1 && m_separator != "\r" &&
        m_separator != "\n") {
      m_fastSeparator = m_separator.front();
      m_hasFastSeparator = true;
    }
    prepareStopBytes(m_plain, nullptr);
    prepareStopBytes(m_output, &layout.specialBytes());
  }

  ConversionResult run() {
    m_layout.beginDocument();
    bool firstRecordNamesFields = !m_settings.HasHeaderRow;
    if (m_settings.HasHeaderRow) {
      readHeader();
      m_headerPresent = m_reader.bytesRead() > 0;
    }
    while (!m_pauses.told() && startRecord()) {
      if (!m_namesGiven) {
        giveNames();  // only once a record follows the header
      }
      if (m_pauses.told()) {
        break;
      }
      convertRecord(firstRecordNamesFields);
      firstRecordNamesFields = false;
    }
    if (m_pauses.told()) {
      m_result.stopped = true;  // the document stays unfinished; its output is dropped
      return m_result;
    }
    if constexpr (requires { Layout::kNamesWithoutRecords; }) {
      if (!m_namesGiven && m_headerPresent) {
        giveNames();  // a header without records: the layout checks its names all the same
      }
    }
    m_layout.endDocument();
    m_observer.onProgress(1.0);
    m_result.warnings.replacedCharacters = m_layout.replacedCharacters();
    m_result.warnings.lineFeedsWithoutCrLf =
        !m_anyBreak && m_reader.lineBreaks().sawLf() && !m_reader.lineBreaks().sawCrLf();
    return m_result;
  }

 private:
  bool separatorCanMatch() const {
    // A separator can never hold what ends a line.
    if (m_anyBreak) {
      return m_separator.find_first_of("\r\n") == std::string_view::npos;
    }
    return m_separator.find(kCrLf) == std::string_view::npos;
  }

  void prepareStopBytes(StopBytes& stop, const SpecialBytes* special) const {
    stop.special = special;
    for (StopSet* set : {&stop.unquoted, &stop.quoted}) {
      set->mark('\r');
      if (m_anyBreak) {
        set->mark('\n');
      }
      for (int b = 0; special != nullptr && b < 256; ++b) {
        if ((*special)[b]) {
          set->mark(static_cast<unsigned char>(b));
        }
      }
    }
    if (m_separatorCanMatch) {
      stop.unquoted.mark(static_cast<unsigned char>(m_separator.front()));
    }
    stop.quoted.mark('"');
    stop.unquoted.prepareLanes();
    stop.quoted.prepareLanes();
  }

  // Once a pause was answered Stop or Leave the input reads as ended, so
  // every loop that reads on ends as at the end of the input.
  bool more() {
    if (m_pauses.told()) {
      return false;
    }
    const bool added = m_reader.more();
    pauseWhenDue();
    return added;
  }

  /// True once a pause was answered Stop or Leave.
  bool pauseWhenDue() { return m_pauses.whenDue(m_reader.bytesRead()); }

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
    if (left < size) {
      return 0;
    }
    // Separators are a few bytes: compared here rather than by a call.
    for (std::size_t i = 1; i < size; ++i) {
      if (at[i] != m_separator[i]) {
        return 0;
      }
    }
    // CR LF stays a line break where the separator's last CR would take it.
    if (m_separatorEndsWithCr && left > size && at[size] == '\n') {
      return 0;
    }
    return static_cast<int>(size);
  }

  /// Scans one record from the start of the reader's text, handing the
  /// values of its first `count` fields to `sink` in pieces (see
  /// RecordLayout). Consumes what it scans unless `kPeek`; peeking keeps the
  /// text for the caller to consume or not. A sink's piece() may give false
  /// to stop the scan.
  template <bool kPeek, class Sink>
  ScannedRecord scanRecord(Sink& sink, const StopBytes& stops, std::size_t count) {
    return m_quotes ? scanRecord<kPeek, true>(sink, stops, count)
                    : scanRecord<kPeek, false>(sink, stops, count);
  }

  template <bool kPeek, bool kQuotes, class Sink>
  ScannedRecord scanRecord(Sink& sink, const StopBytes& stops, std::size_t count) {
    ScannedRecord record;
    // p: where the piece not yet handed on begins; s: where the search goes on.
    std::size_t pieceOffset = 0;
    std::size_t searchOffset = 0;
    const char* base = m_reader.begin();
    const char* p = base;
    const char* s = base;
    const char* end = m_reader.end();
    bool ended = m_reader.ended();
    // Reads on, keeping p and s; false at the end of the input.
    const auto refill = [&]() -> bool {
      pieceOffset = static_cast<std::size_t>(p - base);
      searchOffset = static_cast<std::size_t>(s - base);
      if constexpr (!kPeek) {
        m_reader.consume(pieceOffset);
        searchOffset -= pieceOffset;
        pieceOffset = 0;
      }
      const bool added = more();
      base = m_reader.begin();
      p = base + pieceOffset;
      s = base + searchOffset;
      end = m_reader.end();
      ended = m_reader.ended();
      return added;
    };
    // Each return gives `record` itself, so it is built in place.
    const auto finish = [&](const char* at, std::size_t values) {
      const auto offset = static_cast<std::size_t>(at - base);
      if constexpr (!kPeek) {
        m_reader.consume(offset);
      }
      record.length = offset;
      record.values = values;
    };

    // A line break first: an empty line, a record with no values.
    for (;;) {
      const int length = s < end ? breakAt(s, end, ended) : 0;
      if (length == kNeedMore) {
        refill();
        continue;
      }
      if (length > 0) {
        ++record.lineBreaks;
        finish(s + length, 0);
        return record;
      }
      break;
    }
    // Held in locals: stores through the output's char pointer could alias members.
    const bool quotes = kQuotes;
    const bool hasFastSeparator = m_hasFastSeparator;
    const char fastSeparator = m_fastSeparator;
    const SpecialBytes* const special = stops.special;
    enum class State { FieldStart, Unquoted, Quoted };
    State state = State::FieldStart;
    std::uint64_t breaksBeforeQuote = 0;
    std::size_t field = 0;
    // Hands on the piece before `to`, which `how` ends; false to stop.
    const auto deliver = [&](const char* to, PieceEnd how) __attribute__((always_inline))->bool {
      const auto size = static_cast<std::size_t>(to - p);
      if constexpr (std::is_void_v<decltype(sink.piece(field, p, size, how))>) {
        sink.piece(field, p, size, how);
        return true;
      } else {
        return sink.piece(field, p, size, how);
      }
    };
    const auto give = [&](const char* to, PieceEnd how) __attribute__((always_inline))->bool {
      return field >= count || deliver(to, how);
    };
    // The value before `to` ends at a separator.
    const auto endValue = [&](const char* to) __attribute__((always_inline))->bool {
      if (field + 1 < count) [[likely]] {
        return deliver(to, PieceEnd::Field);
      }
      return give(to, PieceEnd::Record);
    };
    // The value before `to` ends the line: empty values follow unless the
    // names are open, when this line fixes their count.
    const auto endLastValue = [&](const char* to) __attribute__((always_inline))->bool {
      return give(to, field + 1 < count && count != HeaderNames::kOpen ? PieceEnd::Field
                                                                       : PieceEnd::Record);
    };
    // Hands on what is pending before `to` as a piece that is not the last.
    const auto handOn = [&](const char* to) __attribute__((always_inline))->bool {
      const bool kept = to == p || give(to, PieceEnd::More);
      p = s = to;
      return kept;
    };
    for (;;) {
      if (s == end) {
        if (!handOn(s)) {
          record.abandoned = true;
          return record;
        }
        if (!refill()) {
          if (state == State::Quoted) {
            record.unterminatedQuote = breaksBeforeQuote;
          }
          if (!endLastValue(p)) {
            record.abandoned = true;
            return record;
          }
          finish(p, field + 1);
          return record;
        }
        continue;
      }
      if (state == State::FieldStart) {
        if (quotes && *s == '"') {
          state = State::Quoted;
          breaksBeforeQuote = record.lineBreaks;
          p = s = s + 1;
          continue;
        }
        state = State::Unquoted;
      }
      const bool quoted = state == State::Quoted;
      const char* q = FindStop(s, end, quoted ? stops.quoted : stops.unquoted);
      if (q == end) {
        s = q;
        continue;
      }
      if (!quoted && hasFastSeparator && *q == fastSeparator) {
        if (!endValue(q)) {
          record.abandoned = true;
          return record;
        }
        ++field;
        p = s = q + 1;
        state = State::FieldStart;
        continue;
      }
      if (quoted) {
        if (*q == '"') {
          if (q + 1 == end && !ended) {
            if (!handOn(q)) {
              record.abandoned = true;
              return record;
            }
            refill();
            continue;
          }
          if (q + 1 < end && q[1] == '"') {
            // The first quote of the two is the value's own, and a layout
            // that writes values between quotes must escape it.
            const bool escaped = special != nullptr && (*special)[static_cast<unsigned char>('"')];
            if (!(escaped ? handOn(q) : give(q + 1, PieceEnd::More))) {
              record.abandoned = true;
              return record;
            }
            if (escaped && field < count) {
              sink.special(field, q, 1, true);
            }
            p = s = q + 2;
          } else if (q + 1 < end && hasFastSeparator && q[1] == fastSeparator) {
            // The common case: the separator right after the closing quote.
            if (!endValue(q)) {
              record.abandoned = true;
              return record;
            }
            ++field;
            p = s = q + 2;
            state = State::FieldStart;
          } else {
            if (!handOn(q)) {
              record.abandoned = true;
              return record;
            }
            p = s = q + 1;
            state = State::Unquoted;  // what follows the closing quote is appended
          }
          continue;
        }
        if (*q == '\r' || *q == '\n') {
          const int length = breakAt(q, end, ended);
          if (length == kNeedMore) {
            if (!handOn(q)) {
              record.abandoned = true;
              return record;
            }
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
        const int separator = lineBreak == 0 ? separatorAt(q, end, ended) : 0;
        if (lineBreak == kNeedMore || separator == kNeedMore) {
          if (!handOn(q)) {
            record.abandoned = true;
            return record;
          }
          refill();
          continue;
        }
        if (lineBreak > 0) {
          if (!endLastValue(q)) {
            record.abandoned = true;
            return record;
          }
          ++record.lineBreaks;
          finish(q + lineBreak, field + 1);
          return record;
        }
        if (separator > 0) {
          if (!endValue(q)) {
            record.abandoned = true;
            return record;
          }
          ++field;
          p = s = q + separator;
          state = State::FieldStart;
          continue;
        }
      }
      // An ordinary character that a stop byte began.
      if (special != nullptr && (*special)[static_cast<unsigned char>(*q)]) {
        if (!handOn(q)) {
          record.abandoned = true;
          return record;
        }
        const std::size_t taken =
            field < count ? sink.special(field, q, static_cast<std::size_t>(end - q), ended) : 1;
        if (taken == 0) {
          refill();
          continue;
        }
        p = s = q + taken;
        continue;
      }
      s = q + 1;
    }
  }

  void account(const ScannedRecord& record) {
    if (record.unterminatedQuote && !m_result.warnings.unterminatedQuoteLine) {
      m_result.warnings.unterminatedQuoteLine = m_line + *record.unterminatedQuote;
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
    if (m_wholeLines) {
      readHeaderLine();
      return;
    }
    m_names = HeaderNames::Values();
    if (!skipEmptyLines()) {
      return;
    }
    HeaderValues values(m_names);
    account(scanRecord<false>(values, m_plain, HeaderNames::kOpen));
  }

  /// Takes the first line whole. A short line is found in the input window; a
  /// long one is moved out of the window as it is read, so that it is held once.
  void readHeaderLine() {
    std::string line;
    std::size_t searched = 0;
    for (;;) {
      const char* begin = m_reader.begin();
      const std::string_view window(begin, m_reader.available());
      const auto found = window.find(kCrLf, searched);
      if (found != std::string_view::npos) {
        line.assign(begin, found);
        m_reader.consume(found + kCrLf.size());
        break;
      }
      searched = window.empty() ? 0 : window.size() - 1;
      if (window.size() >= kHeaderKeptInWindow) {
        TakeRestOfLine(m_reader, line, [this] { return more(); });
        break;
      }
      if (!more()) {
        line.assign(m_reader.begin(), m_reader.available());
        m_reader.consume(m_reader.available());
        break;
      }
    }
    m_names = HeaderNames(std::move(line), m_separator);
    ++m_line;  // a record can only follow after the header's line break
  }

  /// Splits a header line before its first record, letting the caller run its
  /// events between the steps, and hands the names to the layout.
  void giveNames() {
    m_namesGiven = true;
    if (!m_names.line().empty()) {
      try {
        while (!m_names.split(m_headerSplitStep)) {
          if (pauseWhenDue()) {
            return;
          }
        }
        m_layout.headerNames(m_names);
      } catch (const std::bad_alloc&) {
        throw ConversionError(FailureKind::OutOfMemory, "not enough memory for a header line of " +
                                                            std::to_string(m_names.line().size()) +
                                                            " bytes");
      }
      return;
    }
    m_names.split(m_headerSplitStep);
    m_layout.headerNames(m_names);
  }

  /// False when the record at the reader's position cannot repeat the header:
  /// its first value must begin as the header's does.
  bool mayRepeatHeader() {
    if (m_names.count() == 0) {
      return true;
    }
    const std::string_view first = m_names.name(0);
    const char* at = m_reader.begin();
    if (m_quotes && *at == '"') {
      // Quoted, the value's first character follows the quote (`""` for a quote).
      m_reader.require(2);
      at = m_reader.begin();
      // `""` may be an empty quoted start with the value after it: compared in full.
      return m_reader.available() < 2 || at[1] == '"' || (!first.empty() && at[1] == first.front());
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
      if (m_wholeLines) {
        if (!isRepeatedLine()) {
          return true;
        }
        continue;
      }
      if (!mayRepeatHeader()) {
        return true;
      }
      HeaderComparison comparison(m_names);
      const ScannedRecord record = scanRecord<true>(comparison, m_plain, HeaderNames::kOpen);
      if (!comparison.equal(record)) {
        return true;
      }
      m_reader.consume(record.length);
      account(record);
    }
  }

  /// Consumes the line at the reader's position when it is the header line.
  bool isRepeatedLine() {
    const std::string_view header = m_names.line();
    const std::size_t length = header.size();
    if (m_reader.available() < length + kCrLf.size() && !readOnWhileLike(header)) {
      return false;
    }
    const std::size_t available = m_reader.available();
    if (available < length || std::memcmp(m_reader.begin(), header.data(), length) != 0) {
      return false;
    }
    if (available == length) {  // the last line of the file
      m_reader.consume(length);
      ++m_line;
      return true;
    }
    if (available >= length + kCrLf.size() &&
        std::string_view(m_reader.begin() + length, kCrLf.size()) == kCrLf) {
      m_reader.consume(length + kCrLf.size());
      ++m_line;
      return true;
    }
    return false;
  }

  /// Reads until a header's length and a line break are available, or the
  /// input ends; false as soon as the line differs from `header`. Most lines
  /// differ early on, and comparing what has been read before reading on
  /// keeps a long header from making the input window grow to its size.
  bool readOnWhileLike(std::string_view header) {
    std::size_t compared = 0;
    do {
      const std::size_t comparable = std::min(m_reader.available(), header.size());
      if (std::memcmp(m_reader.begin() + compared, header.data() + compared,
                      comparable - compared) != 0) {
        return false;
      }
      compared = comparable;
    } while (m_reader.available() < header.size() + kCrLf.size() && more());
    return true;
  }

  /// True when the line at the reader's position is empty.
  bool lineIsEmpty() {
    m_reader.require(2);
    return breakAt(m_reader.begin(), m_reader.end(), m_reader.ended()) > 0;
  }

  void convertRecord(bool namesFields) {
    ++m_result.records;
    if (namesFields && lineIsEmpty()) {
      m_names.setCount(0);  // an empty first line names no fields
      m_layout.fieldCount(0);
    }
    if constexpr (requires { m_layout.recordLine(m_line); }) {
      m_layout.recordLine(m_line);  // for a layout whose messages name lines
    }
    typename Layout::Record record = m_layout.beginRecord(m_pauses.includeRowTags());
    const std::size_t count = m_names.count();
    const ScannedRecord scanned = scanRecord<false>(record, m_output, count);
    account(scanned);
    if (m_names.open()) {
      m_names.setCount(scanned.values);
      m_layout.fieldCount(scanned.values);
    } else if (scanned.values > count) {
      m_result.warnings.droppedValues += scanned.values - count;
    }
    const std::size_t named = m_names.count();
    for (std::size_t field = scanned.values; field < named; ++field) {
      record.piece(field, kNothing, 0, field + 1 < named ? PieceEnd::Field : PieceEnd::Record);
      // A short record under a header of millions of names.
      if (field % kEmptyFieldsBetweenPauses == 0 && pauseWhenDue()) {
        return;
      }
    }
    m_layout.endRecord(record);
  }

  TextReader& m_reader;
  Layout& m_layout;
  const ConversionSettings& m_settings;
  ConversionObserver& m_observer;
  PausePoints m_pauses;
  bool m_anyBreak;
  bool m_quotes;
  bool m_wholeLines;  // the header and its repeats are whole lines
  std::string_view m_separator;
  bool m_separatorCanMatch = false;
  bool m_separatorEndsWithCr = false;
  bool m_hasFastSeparator = false;  // the separator is one byte, not CR or LF
  char m_fastSeparator = 0;
  std::size_t m_headerSplitStep;
  StopBytes m_plain;   // header and header repeats: nothing special
  StopBytes m_output;  // records written out
  HeaderNames m_names;
  bool m_namesGiven = false;
  bool m_headerPresent = false;  // the input has a header line, perhaps an empty one
  std::uint64_t m_line = 1;
  ConversionResult m_result;
};

}  // namespace reading

/// Reads the records of `reader` by `settings` (separator, header row, and
/// every choice of `settings.Format`) and drives `layout` with them:
/// - line breaks CrLf: only CR LF ends a line; Any: CR LF, LF and CR each do,
///   and empty lines carry no record;
/// - quotes Double: a field that begins with `"` runs to the next lone `"`,
///   holding separators and line breaks as data, with `""` standing for `"`;
///   what follows the closing quote up to the next separator or line break is
///   appended; the end of the input inside such a field ends the record;
/// - a header repeat (a record whose values equal the header's; with CR LF
///   breaks and no quotes, compared as whole lines) carries no record;
/// - a record shorter than the names is padded with empty values, and values
///   past them are dropped and counted.
/// Streams: only the header is held, and lets the observer in at most once
/// per pause interval, inside long records and long headers too. A header
/// line that cannot be held is a ConversionError(FailureKind::OutOfMemory)
/// naming its size. Throws NotUtf8 and ConversionError from the reader and
/// the layout.
template <RecordLayout Layout>
ConversionResult ReadRecords(TextReader& reader, Layout& layout, const ConversionSettings& settings,
                             ConversionObserver& observer, const ConversionTuning& tuning,
                             std::optional<std::uint64_t> inputSize) {
  return reading::Reader<Layout>(reader, layout, settings, observer, tuning, inputSize).run();
}

}  // namespace rowvane
