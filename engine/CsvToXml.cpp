#include "engine/CsvToXml.h"

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ElementLayout.h"
#include "engine/Failure.h"
#include "engine/FieldTags.h"
#include "engine/HeaderLine.h"
#include "engine/PaddedText.h"
#include "engine/PausePoints.h"
#include "engine/RecordReader.h"
#include "engine/StandardConversion.h"
#include "engine/TextReader.h"
#include "engine/XmlWriter.h"

namespace rowvane {
namespace {

constexpr std::string_view kLineBreak = "\r\n";
// Fields a record lacks are written this many at a time between two chances
// to pause.
constexpr std::size_t kEmptyFieldsBetweenPauses = 4096;
// A header line is looked for in the input window up to this length; longer
// ones are moved out of the window as they are read.
constexpr std::size_t kHeaderKeptInWindow = std::size_t{1} << 20;

/// Finds the first byte in [from, end) that is `a` or `b`, eight bytes at a
/// time where it can; gives `end` when there is none.
const char* FindEither(const char* from, const char* end, char a, char b) {
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    const std::uint64_t maskA = kOnes * static_cast<unsigned char>(a);
    const std::uint64_t maskB = kOnes * static_cast<unsigned char>(b);
    while (end - from >= 8) {
      std::uint64_t word;
      std::memcpy(&word, from, sizeof word);
      const std::uint64_t xa = word ^ maskA;
      const std::uint64_t xb = word ^ maskB;
      // The lowest set bit marks the first zero byte exactly.
      const std::uint64_t hits = ((xa - kOnes) & ~xa & kHigh) | ((xb - kOnes) & ~xb & kHigh);
      if (hits != 0) {
        return from + std::countr_zero(hits) / 8;
      }
      from += 8;
    }
  }
  while (from < end && *from != a && *from != b) {
    ++from;
  }
  return from;
}

/// One pass over the input. Lines end at CR LF; fields end at the separator.
/// The body of every field is copied to the output as it streams past.
class Conversion {
 public:
  Conversion(TextReader& reader, XmlWriter& out, const ConversionSettings& settings,
             ConversionObserver& observer, const ConversionTuning& tuning,
             std::optional<std::uint64_t> inputSize)
      : m_reader(reader),
        m_out(out),
        m_settings(settings),
        m_observer(observer),
        m_pauses(observer, tuning.pauseInterval, inputSize, settings.IncludeRowTags),
        m_rowOpen(m_rowTags.add(std::string(" <").append(settings.RowTag).append(">\r\n"))),
        m_rowClose(m_rowTags.add(std::string(" </").append(settings.RowTag).append(">\r\n"))),
        m_readyHeaderNames(tuning.readyHeaderNames),
        m_headerSplitStep(tuning.headerSplitStep) {
    const std::string_view separator = settings.Separator;
    // Lines never hold CR LF, so a separator that does can never match.
    m_separatorCanMatch =
        !separator.empty() && separator.find(kLineBreak) == std::string_view::npos;
    m_separatorEndsWithCr = !separator.empty() && separator.back() == '\r';
    m_scanFor = m_separatorCanMatch ? separator.front() : '\r';
  }

  /// Gives the records written, and the values dropped past the last field.
  ConversionResult run() {
    m_out.put("<");
    m_out.put(m_settings.DocumentTag);
    m_out.put(">\r\n");
    bool firstLineNamesFields = true;
    if (m_settings.HasHeaderRow) {
      readHeader();
      firstLineNamesFields = false;
    }
    while (startRecord()) {
      if (!m_tags.isSplit()) {
        splitHeader();  // only once a record follows the header
      }
      convertLine(firstLineNamesFields);
      firstLineNamesFields = false;
    }
    m_out.put("</");
    m_out.put(m_settings.DocumentTag);
    m_out.put(">");
    m_out.flush();
    m_observer.onProgress(1.0);
    ConversionResult result;
    result.records = m_records;
    result.warnings.droppedValues = m_droppedValues;
    return result;
  }

 private:
  bool more() {
    const bool added = m_reader.more();
    pauseWhenDue();
    return added;
  }

  void require(std::size_t count) {
    while (m_reader.available() < count && more()) {
    }
  }

  void pauseWhenDue() { m_pauses.whenDue(m_reader.bytesRead()); }

  /// Takes the first line as the header; it never carries a record. A short
  /// line is found in the input window; a long one is moved out of the window
  /// as it is read, so that it is held once.
  void readHeader() {
    std::size_t searched = 0;
    for (;;) {
      const char* begin = m_reader.begin();
      const std::string_view window(begin, m_reader.available());
      const auto found = window.find(kLineBreak, searched);
      if (found != std::string_view::npos) {
        m_header.assign(begin, found);
        m_reader.consume(found + kLineBreak.size());
        break;
      }
      searched = window.empty() ? 0 : window.size() - 1;
      if (window.size() >= kHeaderKeptInWindow) {
        TakeRestOfLine(m_reader, m_header, [this] { return more(); });
        break;
      }
      if (!more()) {
        m_header.assign(m_reader.begin(), m_reader.available());
        m_reader.consume(m_reader.available());
        break;
      }
    }
    m_tags = FieldTags(std::move(m_header), m_settings.Separator, m_readyHeaderNames);
  }

  /// Splits the header line before its first record, letting the caller run
  /// its events between the steps; a header no record follows is never split.
  void splitHeader() {
    try {
      while (!m_tags.split(m_headerSplitStep)) {
        pauseWhenDue();
      }
    } catch (const std::bad_alloc&) {
      throw ConversionError(FailureKind::OutOfMemory, "not enough memory for a header line of " +
                                                          std::to_string(m_tags.line().size()) +
                                                          " bytes");
    }
  }

  /// Skips repeated header lines; false when no line that carries a record is
  /// left (the empty text after a final line break carries none).
  bool startRecord() {
    for (;;) {
      if (m_reader.available() == 0 && !more()) {
        return false;
      }
      if (!m_settings.HasHeaderRow || !isHeaderRepeat()) {
        return true;
      }
    }
  }

  bool isHeaderRepeat() {
    const std::string_view header = m_tags.line();
    const std::size_t length = header.size();
    if (m_reader.available() < length + kLineBreak.size() && !readOnWhileLike(header)) {
      return false;
    }
    const std::size_t available = m_reader.available();
    if (available < length || std::memcmp(m_reader.begin(), header.data(), length) != 0) {
      return false;
    }
    if (available == length) {  // the last line of the file
      m_reader.consume(length);
      return true;
    }
    if (available >= length + kLineBreak.size() &&
        std::string_view(m_reader.begin() + length, kLineBreak.size()) == kLineBreak) {
      m_reader.consume(length + kLineBreak.size());
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
    } while (m_reader.available() < header.size() + kLineBreak.size() && more());
    return true;
  }

  bool lineIsEmpty() {
    require(kLineBreak.size());
    return std::string_view(m_reader.begin(), std::min(m_reader.available(), kLineBreak.size())) ==
           kLineBreak;
  }

  void openField(std::size_t index) {
    if (m_tags.has(index)) {
      m_tags.prepare(index);
      m_tags.writeOpen(m_out, index, m_rowTagsOfRecord);
    }
  }

  void closeField(std::size_t index) {
    if (m_tags.has(index)) {
      m_tags.writeClose(m_out, index);
    }
  }

  /// Writes the record of one line. On the first line without a header row,
  /// every piece of the line also names a field.
  void convertLine(bool namesFields) {
    ++m_records;
    m_rowTagsOfRecord = m_pauses.includeRowTags();
    if (m_rowTagsOfRecord) {
      m_rowTags.write(m_out, m_rowOpen);
    }
    std::size_t field = 0;
    if ((namesFields || m_tags.count() == 0) && lineIsEmpty()) {
      m_reader.consume(kLineBreak.size());  // an empty line has no values, so none are dropped
      if (namesFields) {
        m_tags.setCount(0);  // an empty first line has no pieces
      }
    } else {
      openField(0);
      field = copyFields() + 1;
      if (namesFields) {
        m_tags.setCount(field);
      } else if (field > m_tags.count()) {
        m_droppedValues += field - m_tags.count();
      }
    }
    for (; field < m_tags.count(); ++field) {
      openField(field);
      closeField(field);
      if (field % kEmptyFieldsBetweenPauses == 0) {
        pauseWhenDue();  // a short record under a header of millions of names
      }
    }
    if (m_rowTagsOfRecord) {
      m_rowTags.write(m_out, m_rowClose);
    }
  }

  /// Copies the fields of the current line up to and past its line break;
  /// returns the index of its last field.
  std::size_t copyFields() {
    const std::string_view separator = m_settings.Separator;
    const std::size_t separatorMatchLength = separator.size() + (m_separatorEndsWithCr ? 1 : 0);
    const bool oneByteSeparator = separatorMatchLength == 1;
    const bool separatorCanMatch = m_separatorCanMatch;
    const bool separatorEndsWithCr = m_separatorEndsWithCr;
    const char scanFor = m_scanFor;
    const bool inRow = m_rowTagsOfRecord;
    std::size_t field = 0;
    bool copying = m_tags.has(field);
    for (;;) {
      const char* p = m_reader.begin();
      const char* const end = m_reader.end();
      const bool ended = m_reader.ended();
      // Hot loop: everything it touches is held in locals.
      const FieldTags::Tags* tags = m_tags.table();
      const char* texts = m_tags.texts();
      std::size_t ready = m_tags.ready();
      {
        WriteCursor out(m_out);
        while (p < end) {
          const char* q = FindEither(p, end, '\r', scanFor);
          if (copying) {
            out.putPadded(p, static_cast<std::size_t>(q - p));
          }
          p = q;
          if (q == end) {
            break;
          }
          const auto left = static_cast<std::size_t>(end - q);
          if (*q == '\r') {
            if (left < 2 && !ended) {
              break;  // is it a line break? look further
            }
            if (left >= 2 && q[1] == '\n') {
              m_reader.consumeTo(q + 2);
              out.sync();
              closeField(field);
              out.reload();
              return field;
            }
          }
          if (separatorCanMatch && *q == scanFor) {
            if (!oneByteSeparator && left < separatorMatchLength && !ended) {
              break;
            }
            if (oneByteSeparator || (left >= separator.size() &&
                                     std::memcmp(q, separator.data(), separator.size()) == 0 &&
                                     !(separatorEndsWithCr && left > separator.size() &&
                                       q[separator.size()] == '\n'))) {
              if (field + 1 < ready) {
                const PaddedTexts::Ref next =
                    inRow ? tags[field].nextInRow : tags[field].nextInDocument;
                out.putPadded(texts + next.offset, next.size);
                ++field;
              } else {
                out.sync();
                closeField(field);
                ++field;
                openField(field);
                copying = m_tags.has(field);
                out.reload();
                tags = m_tags.table();
                texts = m_tags.texts();
                ready = m_tags.ready();
              }
              p = q + separator.size();
              continue;
            }
          }
          if (copying) {
            out.putPadded(q, 1);
          }
          p = q + 1;
        }
      }
      m_reader.consumeTo(p);
      if (!more() && m_reader.available() == 0) {
        closeField(field);  // the last line, without a line break
        return field;
      }
    }
  }

  TextReader& m_reader;
  XmlWriter& m_out;
  const ConversionSettings& m_settings;
  ConversionObserver& m_observer;
  PausePoints m_pauses;
  bool m_rowTagsOfRecord = true;
  PaddedTexts m_rowTags;
  PaddedTexts::Ref m_rowOpen;
  PaddedTexts::Ref m_rowClose;
  std::string m_header;  // while it is read; then held by m_tags
  FieldTags m_tags;
  char m_scanFor = '\r';  // first byte of the separator, besides CR
  bool m_separatorCanMatch = false;
  bool m_separatorEndsWithCr = false;
  std::size_t m_readyHeaderNames;
  std::size_t m_headerSplitStep;
  std::uint64_t m_records = 0;
  std::uint64_t m_droppedValues = 0;
};

/// A small input gets a small output buffer: the output is a few times the
/// input, and a large buffer costs more to set up than a small file takes.
std::size_t WriterCapacityFor(std::optional<std::uint64_t> inputSize) {
  constexpr std::size_t kLargest = std::size_t{1} << 18;
  constexpr std::size_t kSmallest = std::size_t{1} << 12;
  if (!inputSize || *inputSize >= kLargest / 4) {
    return kLargest;
  }
  return std::max(kSmallest, static_cast<std::size_t>(*inputSize) * 4);
}

ConversionResult ConvertTextBefore(TextReader& reader, XmlWriter& out,
                                   const ConversionSettings& settings, ConversionObserver& observer,
                                   const ConversionTuning& tuning,
                                   std::optional<std::uint64_t> inputSize) {
  if (settings.Format != CsvFormat::Classic()) {
    return ConvertWithFormat(reader, out, settings, observer, tuning, inputSize);
  }
  ConversionResult result = Conversion(reader, out, settings, observer, tuning, inputSize).run();
  result.warnings.lineFeedsWithoutCrLf =
      reader.lineBreaks().sawLf() && !reader.lineBreaks().sawCrLf();
  return result;
}

ConversionResult ConvertTextUnified(TextReader& reader, XmlWriter& out,
                                    const ConversionSettings& settings,
                                    ConversionObserver& observer, const ConversionTuning& tuning,
                                    std::optional<std::uint64_t> inputSize) {
  if (settings.Format.escaping == Escaping::Xml) {
    EscapedElementLayout layout(out, settings, tuning.readyHeaderNames);
    return ReadRecords(reader, layout, settings, observer, tuning, inputSize);
  }
  ClassicElementLayout layout(out, settings, tuning.readyHeaderNames);
  return ReadRecords(reader, layout, settings, observer, tuning, inputSize);
}

using TextConversion = ConversionResult (*)(TextReader&, XmlWriter&, const ConversionSettings&,
                                            ConversionObserver&, const ConversionTuning&,
                                            std::optional<std::uint64_t>);

ConversionResult ConvertBytes(ByteSource& source, OutputSink& sink,
                              const ConversionSettings& settings, ConversionObserver& observer,
                              const ConversionTuning& tuning, TextConversion ConvertText) {
  if (const auto problem = SettingsProblem(settings)) {
    throw std::invalid_argument(std::string(*problem));
  }
  XmlWriter out(sink, WriterCapacityFor(source.size()));
  if (settings.InputEncoding) {
    // A known encoding never starts over, so the output can stream from the first byte.
    TextReader reader(source, tuning.readChunk, false, settings.InputEncoding);
    ConversionResult result = ConvertText(reader, out, settings, observer, tuning, source.size());
    result.warnings.utf8Replacements = reader.utf8Replacements();
    result.warnings.utf16Replacements = reader.utf16Replacements();
    return result;
  }
  try {
    TextReader reader(source, tuning.readChunk, false);
    ConversionResult result = ConvertText(reader, out, settings, observer, tuning, source.size());
    result.warnings.utf16Replacements = reader.utf16Replacements();
    return result;
  } catch (const NotUtf8&) {
    // Not UTF-8 after all: start over and read the text as Windows-1252.
  }
  out.reset();
  sink.discard();
  source.rewind();
  TextReader reader(source, tuning.readChunk, true);
  return ConvertText(reader, out, settings, observer, tuning, source.size());
}

}  // namespace

ConversionResult ConvertCsvToXmlBefore(ByteSource& source, OutputSink& sink,
                                       const ConversionSettings& settings,
                                       ConversionObserver& observer,
                                       const ConversionTuning& tuning) {
  return ConvertBytes(source, sink, settings, observer, tuning, ConvertTextBefore);
}

ConversionResult ConvertCsvToXml(ByteSource& source, OutputSink& sink,
                                 const ConversionSettings& settings, ConversionObserver& observer,
                                 const ConversionTuning& tuning) {
  return ConvertBytes(source, sink, settings, observer, tuning, ConvertTextUnified);
}

}  // namespace rowvane
