#include "app/handlers/PreviewConversion.h"

#include <QStringList>
#include <string>
#include <string_view>

#include "app/desktop/LocalPath.h"
#include "app/handlers/OutcomeInWords.h"
#include "engine/Conversion.h"
#include "engine/Files.h"
#include "engine/Layouts.h"

namespace rowvane::app {

namespace {

// Whether the template's expressions count, sum or compare records.
bool CountsRecords(const rowvane::ConversionSettings& settings) {
  return settings.Layout == rowvane::OutputLayout::Template && settings.Template &&
         !settings.Template->siteScope.empty();
}

// Leaves the conversion at its next pause once the preview is no longer wanted.
class CancellingObserver final : public rowvane::ConversionObserver {
 public:
  explicit CancellingObserver(const std::function<bool()>& cancelled) : m_cancelled(cancelled) {}
  rowvane::PauseAnswer pauseAnswer() const override {
    return m_cancelled() ? rowvane::PauseAnswer::Leave : rowvane::PauseAnswer::Continue;
  }

 private:
  const std::function<bool()>& m_cancelled;
};

// Keeps the first `cap` bytes and notes whether more came.
class CappedSink final : public rowvane::OutputSink {
 public:
  explicit CappedSink(std::size_t cap) : m_cap(cap) {}
  void write(const char* data, std::size_t size) override {
    const std::size_t kept = std::min(size, m_cap - m_bytes.size());
    m_bytes.append(data, kept);
    m_cut = m_cut || kept < size;
  }
  void discard() override {
    m_bytes.clear();
    m_cut = false;
  }
  const std::string& bytes() const { return m_bytes; }
  bool cut() const { return m_cut; }

 private:
  std::size_t m_cap;
  std::string m_bytes;
  bool m_cut = false;
};

struct Converted {
  std::string xml;
  bool xmlCut = false;
  bool beyondShown = false;  ///< the start read holds records past those converted
  rowvane::ConversionResult result;
  QString schemaProblem;
};

// The engine's own detection on what was read: a byte-order mark, else UTF-8
// when the bytes are valid UTF-8, else Windows-1252.
rowvane::Encoding DetectedEncoding(std::string_view bytes) {
  const rowvane::ByteOrderMark mark = rowvane::DetectByteOrderMark(bytes.substr(0, 3));
  if (mark.length > 0) {
    return mark.encoding;
  }
  rowvane::Utf8Validator validator;
  return validator.feed(bytes) && validator.finish() ? rowvane::Encoding::Utf8
                                                     : rowvane::Encoding::Windows1252;
}

// The length of `bytes` without a character that a cut left unfinished, so
// that the cut alone never turns valid UTF-8 into something else.
std::size_t WholeCharacters(std::string_view bytes, rowvane::Encoding encoding) {
  std::size_t length = bytes.size();
  switch (encoding) {
    case rowvane::Encoding::Utf16LE:
    case rowvane::Encoding::Utf16BE: {
      length -= length % 2;
      if (length >= 4) {
        const auto high = static_cast<unsigned char>(
            bytes[length - (encoding == rowvane::Encoding::Utf16LE ? 1 : 2)]);
        length -= (high & 0xFC) == 0xD8 ? 2 : 0;  // a high surrogate waits for its pair
      }
      return length;
    }
    case rowvane::Encoding::Windows1252:
      return length;
    case rowvane::Encoding::Utf8:
      break;
  }
  std::size_t start = length;
  while (start > 0 && length - start < 4 &&
         (static_cast<unsigned char>(bytes[start - 1]) & 0xC0) == 0x80) {
    --start;
  }
  if (start == 0) {
    return length;
  }
  const auto lead = static_cast<unsigned char>(bytes[start - 1]);
  const std::size_t needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return length - (start - 1) < needed ? start - 1 : length;
}

QString EncodingName(rowvane::Encoding encoding) {
  switch (encoding) {
    case rowvane::Encoding::Utf8:
      return QStringLiteral("UTF-8");
    case rowvane::Encoding::Windows1252:
      return QStringLiteral("Windows-1252");
    case rowvane::Encoding::Utf16LE:
      return QStringLiteral("UTF-16 LE");
    case rowvane::Encoding::Utf16BE:
      return QStringLiteral("UTF-16 BE");
  }
  return {};
}

// Which line breaks the text holds: CR LF, LF, CR, mixed or none.
QString LineBreaksFound(std::string_view bytes, rowvane::Encoding encoding) {
  rowvane::TextDecoder decoder(encoding);
  std::string text;
  decoder.decode(bytes.substr(rowvane::DetectByteOrderMark(bytes.substr(0, 3)).length), text);
  bool crLf = false;
  bool lf = false;
  bool cr = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      crLf = true;
      ++i;
    } else {
      lf = lf || text[i] == '\n';
      cr = cr || text[i] == '\r';
    }
  }
  const int kinds = int{crLf} + int{lf} + int{cr};
  if (kinds > 1) {
    return QStringLiteral("mixed");
  }
  return crLf ? QStringLiteral("CR LF")
         : lf ? QStringLiteral("LF")
         : cr ? QStringLiteral("CR")
              : QStringLiteral("none");
}

class PreviewMaker {
 public:
  PreviewMaker(const PreviewRequest& request, const std::function<bool()>& cancelled,
               const PreviewLimits& limits)
      : m_request(request),
        m_settings(request.settings),
        m_observer(cancelled),
        m_cancelled(cancelled),
        m_limits(limits) {}

  /// Nothing once the preview is no longer wanted.
  std::optional<Preview> make() {
    const QString name =
        PathForDisplay(PathFromBytes(rowvane::FileNameOf(PathBytes(m_request.path))));
    std::optional<bool> inputCut;
    try {
      inputCut = readStart();
    } catch (const rowvane::InputMissing&) {
      return Preview{name + QStringLiteral(": the file is not there."), {}};
    } catch (const rowvane::ConversionError& error) {
      return Preview{
          name + QStringLiteral(": cannot read it: ") + QString::fromStdString(error.what()), {}};
    }
    if (!inputCut) {
      return std::nullopt;
    }
    if (const QString problem = ApplyLayout(m_request.layoutFiles, m_settings);
        !problem.isEmpty()) {
      return Preview{name, problem, true};
    }
    if (const auto problem = rowvane::SettingsProblem(m_settings)) {
      return Preview{QString::fromUtf8(problem->data(), static_cast<qsizetype>(problem->size())),
                     {}};
    }
    const rowvane::Encoding encoding = DetectedEncoding(m_bytes);
    m_bytes.resize(WholeCharacters(m_bytes, encoding));
    std::optional<Converted> first = firstRecords(encoding);
    if (!first) {
      return std::nullopt;
    }
    Converted& shown = *first;
    if (!shown.schemaProblem.isEmpty()) {
      // Said only when the file goes on past what was checked.
      const QString checked =
          *inputCut || shown.beyondShown
              ? QStringLiteral("\n\nOnly the first %1 records were checked.").arg(m_limits.records)
              : QString();
      return Preview{name, shown.schemaProblem + checked, true};
    }
    if (*inputCut && shown.result.records < m_limits.records) {
      // The cut may have fallen inside a quoted field: not the file's fault.
      shown.result.warnings.unterminatedQuoteLine.reset();
    }
    QStringList info{
        name, EncodingName(encoding) + (*inputCut ? QStringLiteral(" (first 1 MB)") : QString()),
        QStringLiteral("line breaks: ") + LineBreaksFound(m_bytes, encoding),
        QStringLiteral("%1 %2 shown")
            .arg(shown.result.records)
            .arg(shown.result.records == 1 ? QStringLiteral("record") : QStringLiteral("records"))};
    if (shown.xmlCut) {
      info << QStringLiteral("the first %1 KB of the XML").arg(m_limits.shownBytes >> 10);
    }
    if ((*inputCut || shown.beyondShown) && CountsRecords(m_settings)) {
      // The preview converts only its records, so the template's totals count those.
      info << QStringLiteral("totals over the records shown");
    }
    info << WarningsInWords(shown.result.warnings);
    QString xml = QString::fromUtf8(shown.xml.data(), static_cast<qsizetype>(WholeCharacters(
                                                          shown.xml, rowvane::Encoding::Utf8)));
    xml.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return Preview{info.join(QStringLiteral(" \u00b7 ")), xml};
  }

 private:
  // Reads the start of the file; true when there is more of it, nothing once
  // the preview is no longer wanted.
  std::optional<bool> readStart() {
    rowvane::InputFile input(PathBytes(m_request.path));
    m_bytes.resize(m_limits.readBytes + 1);
    std::size_t filled = 0;
    while (filled < m_bytes.size()) {
      const std::size_t read = input.read(m_bytes.data() + filled, m_bytes.size() - filled);
      if (read == 0) {
        break;
      }
      filled += read;
      if (m_cancelled()) {
        return std::nullopt;
      }
    }
    m_bytes.resize(std::min(filled, m_limits.readBytes));
    return filled > m_limits.readBytes;
  }

  // The XML of the first records: the whole start when it holds no more than
  // the limit; else the longest start that ends before the first record past
  // it, found by converting ever longer starts and then halving the gap.
  std::optional<Converted> firstRecords(rowvane::Encoding encoding) {
    std::optional<Converted> whole = convert(m_bytes.size(), encoding, m_limits.shownBytes, false);
    if (!whole || whole->result.records <= m_limits.records) {
      // Checked only now that it is known to be what is shown: the schema
      // judges the records shown, not a longer start.
      return whole && m_settings.Schema
                 ? convert(m_bytes.size(), encoding, m_limits.shownBytes, true)
                 : whole;
    }
    std::size_t within = 0;  // a start with no more records than the limit
    std::size_t beyond = m_bytes.size();
    for (std::size_t probe = 4096; probe < beyond; probe *= 4) {
      const std::optional<std::uint64_t> records = recordsIn(probe, encoding);
      if (!records) {
        return std::nullopt;
      }
      (*records <= m_limits.records ? within : beyond) = probe;
      if (beyond == probe) {
        break;
      }
    }
    while (beyond - within > 1) {
      const std::size_t middle = within + (beyond - within) / 2;
      const std::optional<std::uint64_t> records = recordsIn(middle, encoding);
      if (!records) {
        return std::nullopt;
      }
      (*records <= m_limits.records ? within : beyond) = middle;
    }
    std::optional<Converted> shown = convert(within, encoding, m_limits.shownBytes, true);
    if (shown) {
      shown->beyondShown = true;
    }
    return shown;
  }

  std::optional<std::uint64_t> recordsIn(std::size_t length, rowvane::Encoding encoding) {
    const std::optional<Converted> converted = convert(length, encoding, 0, false);
    if (!converted) {
      return std::nullopt;
    }
    return converted->result.records;
  }

  // `checked`: the output is checked against the schema, if there is one.
  // Nothing once the preview is no longer wanted.
  std::optional<Converted> convert(std::size_t length, rowvane::Encoding encoding,
                                   std::size_t shownBytes, bool checked) {
    if (m_cancelled()) {
      return std::nullopt;
    }
    const std::string_view start(m_bytes.data(), length);
    rowvane::MemorySource source(std::string(start.substr(0, WholeCharacters(start, encoding))));
    CappedSink sink(shownBytes);
    rowvane::ConversionTuning tuning;
    tuning.readChunk = std::size_t{64} << 10;
    tuning.pauseInterval = std::chrono::milliseconds(0);
    Converted converted;
    if (checked && m_settings.Schema) {
      rowvane::SchemaValidatingSink check(sink, *m_settings.Schema);
      try {
        converted.result = rowvane::ConvertCsvToXml(source, check, m_settings, m_observer, tuning);
        if (converted.result.stopped) {
          return std::nullopt;  // an unfinished document is not the schema's business
        }
        check.finish();
      } catch (const rowvane::ConversionError& error) {
        if (error.kind() != rowvane::FailureKind::Schema) {
          throw;
        }
        converted.schemaProblem =
            SchemaVerdictInWords(PathForDisplay(QString::fromUtf8(error.what())));
      }
    } else {
      converted.result = rowvane::ConvertCsvToXml(source, sink, m_settings, m_observer, tuning);
    }
    if (converted.result.stopped) {
      return std::nullopt;
    }
    converted.xml = sink.bytes();
    converted.xmlCut = sink.cut();
    return converted;
  }

  const PreviewRequest& m_request;
  rowvane::ConversionSettings m_settings;
  CancellingObserver m_observer;
  const std::function<bool()>& m_cancelled;
  PreviewLimits m_limits;
  std::string m_bytes;
};

}  // namespace

std::optional<Preview> ConvertForPreview(const PreviewRequest& request,
                                         const std::function<bool()>& cancelled,
                                         const PreviewLimits& limits) {
  if (request.path.isEmpty()) {
    return Preview{QStringLiteral("No file in the list: add one to see its XML."), {}};
  }
  return PreviewMaker(request, cancelled, limits).make();
}

}  // namespace rowvane::app
