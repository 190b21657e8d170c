#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/batch/CsvToXml.h"
#include "engine/core/CsvFormat.h"
#include "engine/csv/RecordReader.h"
#include "engine/csv/TextDecoder.h"
#include "engine/xml/XmlEscaping.h"

namespace rowvane {
namespace {

struct Converted {
  std::string xml;
  ConversionWarnings warnings;
  std::uint64_t records = 0;
};

Converted Convert(const std::string& input, const ConversionSettings& settings,
                  std::size_t chunk = SIZE_MAX) {
  MemorySource source(input, chunk);
  MemorySink sink;
  ConversionObserver observer;
  ConversionTuning tuning;
  tuning.readChunk = chunk == SIZE_MAX ? tuning.readChunk : chunk;
  tuning.pauseInterval = std::chrono::milliseconds(0);
  Converted converted;
  const ConversionResult result = ConvertCsvToXml(source, sink, settings, observer, tuning);
  converted.warnings = result.warnings;
  converted.records = result.records;
  converted.xml = sink.bytes();
  return converted;
}

// ---------------------------------------------------------------------------
// A whole-text model of every choice of line breaks, quotes and escaping,
// written independently of the streaming engine: it indexes into the whole
// decoded text instead of scanning chunks.

std::string DecodeWhole(const std::string& bytes) {
  Utf8Validator validator;
  if (validator.feed(bytes) && validator.finish()) {
    return bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes;
  }
  TextDecoder decoder(Encoding::Windows1252);
  std::string text;
  decoder.decode(bytes, text);
  return text;
}

struct ModelRecord {
  std::vector<std::string> values;
  std::string line;  // the raw text of the record, without its line break
};

class Model {
 public:
  Model(std::string text, const ConversionSettings& settings)
      : m_text(std::move(text)), m_s(settings), m_f(settings.Format) {}

  /// The records that carry one (no empty lines where they carry none, no
  /// header repeats), each cut or padded to the names; `names` as they stand.
  std::vector<std::vector<std::string>> records(std::vector<std::string>& names) {
    std::vector<std::vector<std::string>> values;
    for (ModelRecord& record : namedRecords(names)) {
      record.values.resize(names.size());
      values.push_back(record.values);
    }
    return values;
  }

  Converted run() {
    std::vector<std::string> names;
    std::vector<ModelRecord> records = namedRecords(names);
    for (std::size_t i = 0; m_s.HasHeaderRow && i < names.size(); ++i) {
      names[i] = Name(names[i], "header" + std::to_string(i + 1));
    }
    const bool xml = m_f.escaping == Escaping::Xml;
    const std::string document = Name(m_s.DocumentTag, "XML");
    const std::string row = Name(m_s.RowTag, "row");
    std::string out = xml ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n" : "";
    out += "<" + document + ">\r\n";
    m_result.records = records.size();
    for (ModelRecord& record : records) {
      if (record.values.size() > names.size()) {
        m_result.warnings.droppedValues += record.values.size() - names.size();
      }
      record.values.resize(std::max(record.values.size(), names.size()));
      if (m_s.IncludeRowTags) {
        out += " <" + row + ">\r\n";
      }
      for (std::size_t i = 0; i < names.size(); ++i) {
        out += std::string(m_s.IncludeRowTags ? "  <" : " <") + names[i] + ">" +
               Value(record.values[i]) + "</" + names[i] + ">\r\n";
      }
      if (m_s.IncludeRowTags) {
        out += " </" + row + ">\r\n";
      }
    }
    m_result.xml = out + "</" + document + ">";
    m_result.warnings.lineFeedsWithoutCrLf = m_f.lineBreaks == LineBreaks::CrLf &&
                                             m_text.find('\n') != std::string::npos &&
                                             m_text.find("\r\n") == std::string::npos;
    return m_result;
  }

 private:
  std::vector<ModelRecord> namedRecords(std::vector<std::string>& names) {
    std::vector<ModelRecord> records = readRecords();
    if (m_f.lineBreaks == LineBreaks::Any) {
      std::erase_if(records, [](const ModelRecord& r) { return r.values.empty(); });
    }
    if (m_s.HasHeaderRow) {
      if (!records.empty()) {
        const ModelRecord header = records.front();
        records.erase(records.begin());
        std::erase_if(records, [&](const ModelRecord& r) {
          return m_f.quotes == Quotes::None ? r.line == header.line : r.values == header.values;
        });
        names = header.values;
      }
    } else if (!records.empty()) {
      for (std::size_t i = 1; i <= records.front().values.size(); ++i) {
        names.push_back("header" + std::to_string(i));
      }
    }
    return records;
  }

  std::size_t BreakAt(std::size_t i) const {
    if (m_f.lineBreaks == LineBreaks::CrLf) {
      return m_text.compare(i, 2, "\r\n") == 0 ? 2 : 0;
    }
    if (m_text[i] == '\n') {
      return 1;
    }
    return m_text[i] != '\r' ? 0 : m_text.compare(i, 2, "\r\n") == 0 ? 2 : 1;
  }

  std::size_t SeparatorAt(std::size_t i) const {
    const std::string& sep = m_s.Separator;
    const bool holdsBreak = m_f.lineBreaks == LineBreaks::CrLf
                                ? sep.find("\r\n") != std::string::npos
                                : sep.find_first_of("\r\n") != std::string::npos;
    if (sep.empty() || holdsBreak || m_text.compare(i, sep.size(), sep) != 0) {
      return 0;
    }
    if (m_f.lineBreaks == LineBreaks::CrLf && sep.back() == '\r' &&
        m_text.compare(i + sep.size(), 1, "\n") == 0) {
      return 0;
    }
    return sep.size();
  }

  std::uint64_t LineOf(std::size_t position) const {
    const std::string before = m_text.substr(0, position);
    std::uint64_t line = 1;
    for (std::size_t i = 0; i < before.size(); ++i) {
      if (m_f.lineBreaks == LineBreaks::CrLf) {
        line += before.compare(i, 2, "\r\n") == 0 ? 1 : 0;
      } else {
        line += before[i] == '\n' || (before[i] == '\r' && before.compare(i, 2, "\r\n") != 0);
      }
    }
    return line;
  }

  std::vector<ModelRecord> readRecords() {
    std::vector<ModelRecord> records;
    std::size_t i = 0;
    const std::size_t n = m_text.size();
    while (i < n) {
      ModelRecord record;
      const std::size_t start = i;
      if (const std::size_t length = BreakAt(i)) {
        records.push_back(record);
        i += length;
        continue;
      }
      std::string value;
      for (;;) {
        if (m_f.quotes == Quotes::Double && i < n && m_text[i] == '"') {
          const std::size_t quote = i++;
          for (;;) {
            if (i == n) {
              m_result.warnings.unterminatedQuoteLine = LineOf(quote);
              break;
            }
            if (m_text[i] == '"') {
              if (m_text.compare(i, 2, "\"\"") == 0) {
                value += '"';
                i += 2;
                continue;
              }
              ++i;
              break;
            }
            value += m_text[i++];
          }
        }
        std::size_t separator = 0;
        std::size_t lineBreak = 0;
        while (i < n && (lineBreak = BreakAt(i)) == 0 && (separator = SeparatorAt(i)) == 0) {
          value += m_text[i++];
        }
        record.values.push_back(value);
        value.clear();
        if (i == n || lineBreak > 0) {
          record.line = m_text.substr(start, i - start);
          i += lineBreak;
          break;
        }
        i += separator;
      }
      records.push_back(record);
    }
    return records;
  }

  static std::vector<char32_t> CodePoints(const std::string& utf8) {
    std::vector<char32_t> points;
    for (std::size_t i = 0; i < utf8.size();) {
      const auto lead = static_cast<unsigned char>(utf8[i]);
      const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
      char32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
      for (int k = 1; k < length; ++k) {
        c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
      }
      points.push_back(c);
      i += length;
    }
    return points;
  }

  std::string Name(const std::string& name, const std::string& whenEmpty) const {
    if (m_f.escaping == Escaping::None) {
      return name;
    }
    if (name.empty()) {
      return whenEmpty;
    }
    std::string fixed;
    for (const char32_t c : CodePoints(name)) {
      if (IsXmlNameChar(c)) {
        AppendUtf8(c, fixed);
      } else {
        fixed += '_';
      }
    }
    return IsXmlNameStartChar(CodePoints(fixed).front()) ? fixed : "_" + fixed;
  }

  std::string Value(const std::string& value) {
    if (m_f.escaping == Escaping::None) {
      return value;
    }
    std::string escaped;
    for (const char32_t c : CodePoints(value)) {
      if (c == '&') {
        escaped += "&amp;";
      } else if (c == '<') {
        escaped += "&lt;";
      } else if (c == '>') {
        escaped += "&gt;";
      } else if (c == '\r') {
        escaped += "&#13;";
      } else if ((c < 0x20 && c != '\t' && c != '\n') || c == 0xFFFE || c == 0xFFFF) {
        escaped += "\xEF\xBF\xBD";
        ++m_result.warnings.replacedCharacters;
      } else {
        AppendUtf8(c, escaped);
      }
    }
    return escaped;
  }

  std::string m_text;
  const ConversionSettings& m_s;
  CsvFormat m_f;
  Converted m_result;
};

TEST(StandardFormat, StreamingAgreesWithTheWholeTextModelForEveryChoice) {
  const std::vector<std::string> pieces = {"a",           "b",
                                           "\"",          "\"\"",
                                           ",",           ";",
                                           "\r",          "\n",
                                           "\r\n",        "\r\n",
                                           "\"",          "\xC3\xA9",
                                           "\xE9",        "\xEF\xBF\xBE",
                                           "&<>",         "\x01",
                                           " ",           "1",
                                           "a,b",         "\t",
                                           "\"",          "\xE2\x82\xAC",
                                           "\xEF\xBF\xBD"};
  const std::vector<std::string> separators = {",",   ";",        "",   "ab",   "\r",
                                               "a\r", "\",",      "\"", ",\"",  "\r\n",
                                               "\n",  "\xC3\xA9", "\t", "\"\"", ",,"};
  const std::vector<std::string> tags = {"XML", "", "a b", "1r", "\xC3\xA9:x"};
  std::mt19937 random(20261207);
  for (int round = 0; round < 6000; ++round) {
    std::string input;
    const int count = static_cast<int>(random() % 30);
    for (int i = 0; i < count; ++i) {
      input += pieces[random() % pieces.size()];
    }
    ConversionSettings settings;
    settings.Separator = separators[random() % separators.size()];
    settings.HasHeaderRow = random() % 2 == 0;
    settings.IncludeRowTags = random() % 2 == 0;
    settings.DocumentTag = tags[random() % tags.size()];
    settings.RowTag = tags[random() % tags.size()];
    const unsigned choice = random() % 8;
    settings.Format = {(choice & 1) != 0 ? LineBreaks::Any : LineBreaks::CrLf,
                       (choice & 2) != 0 ? Quotes::Double : Quotes::None,
                       (choice & 4) != 0 ? Escaping::Xml : Escaping::None};
    const Converted expected = Model(DecodeWhole(input), settings).run();
    for (const std::size_t chunk : {std::size_t{1}, std::size_t{7}, SIZE_MAX}) {
      const Converted actual = Convert(input, settings, chunk);
      ASSERT_EQ(actual.xml, expected.xml)
          << "input '" << input << "' separator '" << settings.Separator << "' header "
          << settings.HasHeaderRow << " choice " << choice << " chunk " << chunk;
      ASSERT_EQ(actual.warnings, expected.warnings)
          << "input '" << input << "' separator '" << settings.Separator << "' choice " << choice;
      ASSERT_EQ(actual.records, expected.records) << "input '" << input << "' choice " << choice;
    }
  }
}

// ---------------------------------------------------------------------------
// The seam between the record reader and a layout: a layout that rebuilds the
// records from the calls it gets, and checks their order against the contract.

class RecordingLayout {
 public:
  RecordingLayout() {
    m_special['&'] = true;
    m_special[0xEF] = true;  // asks for three bytes before it decides
  }

  class Record {
   public:
    explicit Record(RecordingLayout& layout) : m_layout(layout) {}
    void piece(std::size_t field, const char* data, std::size_t size, PieceEnd end) {
      take(field);
      for (std::size_t i = 0; i < size; ++i) {
        m_layout.expect(!m_layout.m_special[static_cast<unsigned char>(data[i])],
                        "a special byte inside a piece");
      }
      m_values.back().append(data, size);
      m_layout.expect(end != PieceEnd::Field || field + 1 < m_layout.m_count,
                      "a value ends a field though no named field follows");
      m_last = end;
    }
    std::size_t special(std::size_t field, const char* at, std::size_t available, bool ended) {
      take(field);
      m_layout.expect(m_layout.m_special[static_cast<unsigned char>(*at)], "not a special byte");
      if (static_cast<unsigned char>(*at) == 0xEF && available < 3 && !ended) {
        return 0;
      }
      m_values.back() += *at;
      return 1;
    }

   private:
    friend class RecordingLayout;
    /// A piece goes on the value being read, or begins the next field.
    void take(std::size_t field) {
      m_layout.expect(m_last != PieceEnd::Record, "a piece after the record's last value");
      if (m_last != PieceEnd::More) {
        m_values.emplace_back();
        m_last = PieceEnd::More;
      }
      m_layout.expect(field + 1 == m_values.size(), "fields out of order");
      m_layout.expect(field < m_layout.m_count, "a value past the named fields");
    }

    RecordingLayout& m_layout;
    std::vector<std::string> m_values;
    PieceEnd m_last = PieceEnd::Field;  // before field 0
  };

  const SpecialBytes& specialBytes() const { return m_special; }
  void beginDocument() { expect(m_calls++ == 0, "the document begins first"); }
  void headerNames(HeaderNames& names) {
    expect(!m_named && m_records.empty(), "names once, before the first record");
    m_named = true;
    m_count = names.count();
    for (std::size_t i = 0; !names.generated() && i < names.count(); ++i) {
      m_names.emplace_back(names.name(i));
    }
  }
  void fieldCount(std::size_t count) {
    expect(m_count == HeaderNames::kOpen && m_records.size() <= 1, "the count fixed once, early");
    m_count = count;
  }
  Record beginRecord(bool) {
    expect(m_named, "names before records");
    return Record(*this);
  }
  void endRecord(Record& record) {
    expect(record.m_values.empty() || record.m_last == PieceEnd::Record,
           "the last value ends the record");
    expect(m_count == HeaderNames::kOpen || record.m_values.size() == m_count,
           "every named field gets a value");
    m_records.push_back(record.m_values);
  }
  void endDocument() { expect(m_calls++ == 1, "the document ends once, last"); }
  std::uint64_t replacedCharacters() const { return 0; }

  void expect(bool holds, const char* rule) {
    if (!holds) {
      m_broken.emplace_back(rule);
    }
  }

  SpecialBytes m_special{};
  std::size_t m_count = HeaderNames::kOpen;
  bool m_named = false;
  int m_calls = 0;
  std::vector<std::string> m_names;
  std::vector<std::vector<std::string>> m_records;
  std::vector<std::string> m_broken;
};
static_assert(RecordLayout<RecordingLayout>);

TEST(RecordLayoutSeam, EveryFormatHandsTheModelsRecordsInContractOrder) {
  const std::vector<std::string> pieces = {
      "a",    "b", "\"",           "\"\"",     ",",   ";",  "\r",          "\n",
      "\r\n", "&", "\xEF\xBF\xBE", "\xC3\xA9", "x,y", "\t", "\xEF\xBC\x8C"};
  const std::vector<std::string> separators = {",", ";", "", "ab", "\r", "\",", "\n", "&", "\t"};
  std::mt19937 random(17);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int count = static_cast<int>(random() % 25);
    for (int i = 0; i < count; ++i) {
      text += pieces[random() % pieces.size()];
    }
    ConversionSettings settings;
    settings.Separator = separators[random() % separators.size()];
    settings.HasHeaderRow = random() % 2 == 0;
    const unsigned choice = random() % 4;
    settings.Format = {(choice & 1) != 0 ? LineBreaks::Any : LineBreaks::CrLf,
                       (choice & 2) != 0 ? Quotes::Double : Quotes::None, Escaping::None};
    std::vector<std::string> names;
    const std::vector<std::vector<std::string>> expected = Model(text, settings).records(names);
    for (const std::size_t chunk :
         {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7}, std::size_t{4096}}) {
      MemorySource source(text, chunk);
      TextReader reader(source, chunk, false);
      RecordingLayout layout;
      ConversionObserver observer;
      ConversionTuning tuning;
      tuning.pauseInterval = std::chrono::milliseconds(0);
      tuning.headerSplitStep = 2;
      const ConversionResult result =
          ReadRecords(reader, layout, settings, observer, tuning, std::nullopt);
      ASSERT_EQ(layout.m_broken, std::vector<std::string>{})
          << "input '" << text << "' separator '" << settings.Separator << "' chunk " << chunk;
      ASSERT_EQ(layout.m_records, expected)
          << "input '" << text << "' separator '" << settings.Separator << "' chunk " << chunk;
      ASSERT_EQ(result.records, expected.size());
      if (settings.HasHeaderRow && !expected.empty()) {
        ASSERT_EQ(layout.m_names, names) << "input '" << text << "'";
      }
    }
  }
}

constexpr std::string_view kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>|";

std::string Bar(std::string text) {
  for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;) {
    text.replace(at, 2, "|");
  }
  return text;
}

TEST(StandardFormat, ASeparatorThatIsNotUtf8IsRefused) {
  const struct {
    std::string separator;
    bool refused;
  } rows[] = {{"\xC3", true},      {"\xA9", true}, {";\xE2\x82", true},
              {"\xC3\xA9", false}, {"", false},    {"\x7F", false}};
  for (const auto& row : rows) {
    ConversionSettings settings;
    settings.Separator = row.separator;
    EXPECT_EQ(SettingsProblem(settings).has_value(), row.refused) << row.separator;
    if (row.refused) {
      EXPECT_THROW(Convert("a\xC3\xA9"
                           "b",
                           settings),
                   std::invalid_argument)
          << row.separator;
    }
  }
}

TEST(StandardFormat, RowTagsAndGeneratedNamesFollowTheSameLayout) {
  ConversionSettings settings;
  settings.HasHeaderRow = false;
  settings.RowTag = "";
  settings.Format = CsvFormat::Standard();
  EXPECT_EQ(Bar(Convert("\"1\n2\",3\n", settings, 1).xml),
            std::string(kDecl) +
                "<XML>| <row>|  <header1>1\n2</header1>|  <header2>3</header2>| "
                "</row>|</XML>");
}

// Each choice has one word and each word one choice; the command line and the
// stored settings both read these lists.
template <typename Choice, std::size_t N>
void ExpectOneWordPerChoice(const std::array<FormatWord<Choice>, N>& words) {
  for (const FormatWord<Choice>& each : words) {
    EXPECT_EQ(WordOf(words, each.choice), each.word);
    EXPECT_EQ(ChoiceNamed(words, each.word), each.choice) << each.word;
  }
  EXPECT_EQ(ChoiceNamed(words, ""), std::nullopt);
  EXPECT_EQ(ChoiceNamed(words, "CRLF"), std::nullopt);
}

TEST(FormatWords, NameEachChoiceOnce) {
  ExpectOneWordPerChoice(kFormatPresetWords);
  ExpectOneWordPerChoice(kLineBreaksWords);
  ExpectOneWordPerChoice(kQuotesWords);
  ExpectOneWordPerChoice(kEscapingWords);
  EXPECT_EQ(WordOf(kFormatPresetWords, CsvFormat::Standard()), "standard");
  EXPECT_EQ(WordOf(kEscapingWords, Escaping::Xml), "xml");
}

}  // namespace
}  // namespace rowvane
