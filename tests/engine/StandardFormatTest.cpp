#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/CsvToXml.h"
#include "engine/TextDecoder.h"
#include "engine/XmlEscaping.h"

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

  Converted run() {
    std::vector<ModelRecord> records = readRecords();
    if (m_f.lineBreaks == LineBreaks::Any) {
      std::erase_if(records, [](const ModelRecord& r) { return r.values.empty(); });
    }
    std::vector<std::string> names;
    if (m_s.HasHeaderRow) {
      if (!records.empty()) {
        const ModelRecord header = records.front();
        records.erase(records.begin());
        std::erase_if(records, [&](const ModelRecord& r) {
          return m_f.quotes == Quotes::None ? r.line == header.line : r.values == header.values;
        });
        for (std::size_t i = 0; i < header.values.size(); ++i) {
          names.push_back(Name(header.values[i], "header" + std::to_string(i + 1)));
        }
      }
    } else if (!records.empty()) {
      for (std::size_t i = 1; i <= records.front().values.size(); ++i) {
        names.push_back("header" + std::to_string(i));
      }
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
// One row per rule, with the exact output. Row tags are off and the document
// tag is "X" unless the row says otherwise; "|" stands for CR LF in `expected`.

struct RuleCase {
  const char* rule;
  std::string input;
  CsvFormat format = CsvFormat::Standard();
  std::string separator = ",";
  bool header = true;
  std::string expected;
  ConversionWarnings warnings = {};
  std::string documentTag = "X";
};

void PrintTo(const RuleCase& c, std::ostream* os) {
  *os << c.rule;
}

constexpr CsvFormat kQuotesOnly{LineBreaks::CrLf, Quotes::Double, Escaping::None};
constexpr CsvFormat kAnyBreaksOnly{LineBreaks::Any, Quotes::None, Escaping::None};
constexpr CsvFormat kNoEscaping{LineBreaks::Any, Quotes::Double, Escaping::None};
constexpr std::string_view kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>|";

std::string Bar(std::string text) {
  for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;) {
    text.replace(at, 2, "|");
  }
  return text;
}

class StandardFormatRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(StandardFormatRule, GivesTheExactOutput) {
  const RuleCase& c = GetParam();
  ConversionSettings settings;
  settings.Separator = c.separator;
  settings.HasHeaderRow = c.header;
  settings.IncludeRowTags = false;
  settings.DocumentTag = c.documentTag;
  settings.Format = c.format;
  for (const std::size_t chunk : {std::size_t{1}, std::size_t{7}, SIZE_MAX}) {
    const Converted converted = Convert(c.input, settings, chunk);
    EXPECT_EQ(Bar(converted.xml), c.expected) << "chunk " << chunk;
    EXPECT_EQ(converted.warnings, c.warnings) << "chunk " << chunk;
  }
}

ConversionWarnings Unterminated(std::uint64_t line) {
  ConversionWarnings w;
  w.unterminatedQuoteLine = line;
  return w;
}
ConversionWarnings Replaced(std::uint64_t count) {
  ConversionWarnings w;
  w.replacedCharacters = count;
  return w;
}
ConversionWarnings Dropped(std::uint64_t count) {
  ConversionWarnings w;
  w.droppedValues = count;
  return w;
}
ConversionWarnings OneLine() {
  ConversionWarnings w;
  w.lineFeedsWithoutCrLf = true;
  return w;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, StandardFormatRule,
    ::testing::Values(
        RuleCase{.rule = "LF ends a line",
                 .input = "a,b\n1,2\n3",
                 .format = kAnyBreaksOnly,
                 .expected = "<X>| <a>1</a>| <b>2</b>| <a>3</a>| <b></b>|</X>"},
        RuleCase{.rule = "CR alone ends a line, CR LF counts once",
                 .input = "a\r1\r\n2\n\r3",
                 .format = kAnyBreaksOnly,
                 .expected = "<X>| <a>1</a>| <a>2</a>| <a>3</a>|</X>"},
        RuleCase{.rule = "empty lines carry no record, before the header too",
                 .input = "\n\r\n\ra\n\n1\r\r\n",
                 .format = kAnyBreaksOnly,
                 .expected = "<X>| <a>1</a>|</X>"},
        RuleCase{.rule = "with CR LF breaks an empty line is a record with no values",
                 .input = "a\r\n\r\n1\r\n",
                 .format = kQuotesOnly,
                 .expected = "<X>| <a></a>| <a>1</a>|</X>"},
        RuleCase{.rule = "with CR LF breaks a lone CR or LF is data, and CR LF beats a separator",
                 .input = "1\r2\n\r\n3",
                 .format = kQuotesOnly,
                 .separator = "\r",
                 .header = false,
                 .expected = "<X>| <header1>1</header1>| <header2>2\n</header2>| "
                             "<header1>3</header1>| <header2></header2>|</X>"},
        RuleCase{.rule = "a separator holding LF never matches with any line break",
                 .input = "a\nb;\nc",
                 .format = kAnyBreaksOnly,
                 .separator = ";\n",
                 .header = false,
                 .expected = "<X>| <header1>a</header1>| <header1>b;</header1>| "
                             "<header1>c</header1>|</X>"},
        RuleCase{.rule = "a quoted field holds separators and line breaks as they stand",
                 .input = "a,b\n\"1,2\",\"x\r\ny\nz\"",
                 .format = kNoEscaping,
                 .expected = "<X>| <a>1,2</a>| <b>x|y\nz</b>|</X>"},
        RuleCase{.rule = "a doubled quote is one quote",
                 .input = "a\n\"say \"\"hi\"\"\"\n\"\"\"\"",
                 .format = kNoEscaping,
                 .expected = "<X>| <a>say \"hi\"</a>| <a>\"</a>|</X>"},
        RuleCase{.rule = "what follows the closing quote is appended; a quote inside is ordinary",
                 .input = "a,b\n\"b\"x\"y,c\"d\"",
                 .format = kNoEscaping,
                 .expected = "<X>| <a>bx\"y</a>| <b>c\"d\"</b>|</X>"},
        RuleCase{.rule = "a closing quote is never part of a separator",
                 .input = "a\",b\n\"1\",2\nx\",\"y\"",
                 .format = kNoEscaping,
                 .separator = "\",",
                 .expected = "<X>| <a>1,2</a>| <b></b>| <a>x</a>| <b>y</b>|</X>"},
        RuleCase{.rule = "the end of the input inside a quoted field ends the record",
                 .input = "a,b\n1,\"2\n3,4",
                 .expected = std::string(kDecl) + "<X>| <a>1</a>| <b>2\n3,4</b>|</X>",
                 .warnings = Unterminated(2)},
        RuleCase{.rule = "a header repeat is a record with the header's values",
                 .input = "a,b\n\"a\",b\na,b,\n\"a\"\"\",b\na,\"b\"",
                 .format = kNoEscaping,
                 .expected = "<X>| <a>a</a>| <b>b</b>| <a>a\"</a>| <b>b</b>|</X>",
                 .warnings = Dropped(1)},
        RuleCase{.rule = "an empty line does not repeat a header holding one empty value",
                 .input = "\"\"\r\n\r\n\"\"\r\nx",
                 .format = kQuotesOnly,
                 .expected = "<X>| <></>| <>x</>|</X>"},
        RuleCase{.rule = "an empty separator leaves the line whole but quoting applies",
                 .input = "h\n\"a,\nb\"c,d\ne\"f",
                 .format = kNoEscaping,
                 .separator = "",
                 .expected = "<X>| <h>a,\nbc,d</h>| <h>e\"f</h>|</X>"},
        RuleCase{
            .rule = "values are escaped and forbidden characters replaced",
            .input = "v\n\"a&b<c>d\re\x01\tf\x1F\xEF\xBF\xBE\xEF\xBF\xBF\xEF\xBF\xBD\"",
            .expected = std::string(kDecl) +
                        "<X>| <v>a&amp;b&lt;c&gt;d&#13;e\xEF\xBF\xBD\tf\xEF\xBF\xBD\xEF\xBF\xBD"
                        "\xEF\xBF\xBD\xEF\xBF\xBD</v>|</X>",
            .warnings = Replaced(4)},
        RuleCase{.rule = "names are fixed one character at a time",
                 .input = " a,1r,a:b,,\xC3\xA9\xEF\xBC\x8C,\xF0\x9D\x90\x80,-\n1,2,3,4,5,6,7",
                 .expected = std::string(kDecl) +
                             "<X>| <_a>1</_a>| <_1r>2</_1r>| <a_b>3</a_b>| <header4>4</header4>| "
                             "<\xC3\xA9_>5</\xC3\xA9_>| <_>6</_>| <_->7</_->|</X>"},
        RuleCase{.rule = "an empty document tag becomes XML",
                 .input = "a\n1",
                 .expected = std::string(kDecl) + "<XML>| <a>1</a>|</XML>",
                 .documentTag = ""},
        RuleCase{.rule = "classic line breaks: LF without CR LF is noticed",
                 .input = "a\n1",
                 .format = CsvFormat::Classic(),
                 .expected = "<X>|</X>",
                 .warnings = OneLine()},
        RuleCase{.rule = "values past the header's names are counted, not written",
                 .input = "a\r\n1,2,3\r\n\r\n4,\r\na",
                 .format = CsvFormat::Classic(),
                 .expected = "<X>| <a>1</a>| <a></a>| <a>4</a>|</X>",
                 .warnings = Dropped(3)},
        RuleCase{.rule = "an empty line drops nothing under an empty first line",
                 .input = "\r\n\r\n\"\",\r\n1",
                 .format = kQuotesOnly,
                 .header = false,
                 .expected = "<X>|</X>",
                 .warnings = Dropped(3)},
        RuleCase{.rule = "classic line breaks: LF beside CR LF is not",
                 .input = "a\r\n1\n2",
                 .format = CsvFormat::Classic(),
                 .expected = "<X>| <a>1\n2</a>|</X>"}),
    [](const ::testing::TestParamInfo<RuleCase>& param) {
      return "Rule" + std::to_string(param.index);
    });

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

}  // namespace
}  // namespace rowvane
