#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "tests/engine/ConvertText.h"

namespace rowvane {
namespace {

using testing::ConvertText;
using testing::Lines;

// One table over every choice of format: classic rows use Options() alone,
// the others name their choices with In().
struct Case {
  const char* name;
  std::string input;
  ConversionSettings settings;
  std::vector<std::string> expected;  // output lines
  ConversionWarnings warnings = {};
};

// A failing row names itself, not a dump of its bytes.
void PrintTo(const Case& row, std::ostream* out) {
  *out << row.name;
}

ConversionSettings Options(std::string separator, bool header = true, bool rowTags = true,
                           std::string documentTag = "XML", std::string rowTag = "row") {
  ConversionSettings settings;
  settings.Separator = std::move(separator);
  settings.HasHeaderRow = header;
  settings.IncludeRowTags = rowTags;
  settings.DocumentTag = std::move(documentTag);
  settings.RowTag = std::move(rowTag);
  return settings;
}

ConversionSettings In(CsvFormat format, ConversionSettings settings) {
  settings.Format = format;
  return settings;
}

constexpr CsvFormat kQuotesOnly{LineBreaks::CrLf, Quotes::Double, Escaping::None};
constexpr CsvFormat kAnyBreaksOnly{LineBreaks::Any, Quotes::None, Escaping::None};
constexpr CsvFormat kNoEscaping{LineBreaks::Any, Quotes::Double, Escaping::None};
constexpr std::string_view kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>|";

/// Output lines written on one line, "|" standing for each CR LF.
std::vector<std::string> Bars(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t bar = text.find('|'); bar != std::string::npos; bar = text.find('|', start)) {
    lines.push_back(text.substr(start, bar - start));
    start = bar + 1;
  }
  lines.push_back(text.substr(start));
  return lines;
}

}  // namespace

void PrintTo(const ConversionWarnings& w, std::ostream* out) {
  *out << "{unterminated "
       << (w.unterminatedQuoteLine ? std::to_string(*w.unterminatedQuoteLine) : "-")
       << ", replaced " << w.replacedCharacters << ", one line " << w.lineFeedsWithoutCrLf
       << ", utf-8 " << w.utf8Replacements << ", dropped " << w.droppedValues << "}";
}

namespace {

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

const std::string kStaff = "id,name\r\n7,Ann\r\n8,Bob";

std::vector<Case> Cases() {
  return {
      {"WorkedExample",
       kStaff,
       Options(","),
       {"<XML>", " <row>", "  <id>7</id>", "  <name>Ann</name>", " </row>", " <row>",
        "  <id>8</id>", "  <name>Bob</name>", " </row>", "</XML>"}},
      {"WorkedExampleWithoutHeaderOrRows",
       kStaff,
       Options(",", false, false),
       {"<XML>", " <header1>id</header1>", " <header2>name</header2>", " <header1>7</header1>",
        " <header2>Ann</header2>", " <header1>8</header1>", " <header2>Bob</header2>", "</XML>"}},
      {"FinalLineBreakAddsNoRecord",
       "a,b\r\n1,2\r\n",
       Options(","),
       {"<XML>", " <row>", "  <a>1</a>", "  <b>2</b>", " </row>", "</XML>"}},
      {"BlankLinesCarryEmptyRecords",
       "a,b\r\n\r\n1,2",
       Options(","),
       {"<XML>", " <row>", "  <a></a>", "  <b></b>", " </row>", " <row>", "  <a>1</a>",
        "  <b>2</b>", " </row>", "</XML>"}},
      {"HeaderOnlyWithoutLineBreak", "a,b", Options(","), {"<XML>", "</XML>"}},
      {"HeaderOnlyWithLineBreak", "a,b\r\n", Options(","), {"<XML>", "</XML>"}},
      {"EmptyText", "", Options(","), {"<XML>", "</XML>"}},
      {"EmptyTextWithoutHeader", "", Options(",", false), {"<XML>", "</XML>"}},
      {"OnlyUtf8Mark", "\xEF\xBB\xBF", Options(","), {"<XML>", "</XML>"}},
      {"OnlyUtf16Mark", "\xFF\xFE", Options(",", false), {"<XML>", "</XML>"}},
      {"RepeatedHeaderLinesAreDropped",
       "a,b\r\n1,2\r\na,b\r\n3,4\r\na,b",
       Options(","),
       {"<XML>", " <row>", "  <a>1</a>", "  <b>2</b>", " </row>", " <row>", "  <a>3</a>",
        "  <b>4</b>", " </row>", "</XML>"}},
      {"HeaderTextInsideALineIsKept",
       "a,b\r\nxa,b\r\na,bc",
       Options(","),
       {"<XML>", " <row>", "  <a>xa</a>", "  <b>b</b>", " </row>", " <row>", "  <a>a</a>",
        "  <b>bc</b>", " </row>", "</XML>"}},
      {"EmptyHeaderDropsBlankLinesOnly",
       "\r\n1,2\r\n\r\n3",
       Options(","),
       {"<XML>", " <row>", " </row>", " <row>", " </row>", "</XML>"},
       Dropped(3)},
      {"EmptyFirstLineWithoutHeaderHasNoNames",
       "\r\n1,2",
       Options(",", false),
       {"<XML>", " <row>", " </row>", " <row>", " </row>", "</XML>"},
       Dropped(2)},
      {"LineWithoutSeparatorIsOneValue",
       "a,b,c\r\nsolo",
       Options(","),
       {"<XML>", " <row>", "  <a>solo</a>", "  <b></b>", "  <c></c>", " </row>", "</XML>"}},
      {"SingleColumnFile",
       "name\r\nAnn\r\nBob",
       Options(","),
       {"<XML>", " <row>", "  <name>Ann</name>", " </row>", " <row>", "  <name>Bob</name>",
        " </row>", "</XML>"}},
      {"ExtraValuesAreDropped",
       "a,b\r\n1,2,3,4",
       Options(","),
       {"<XML>", " <row>", "  <a>1</a>", "  <b>2</b>", " </row>", "</XML>"},
       Dropped(2)},
      {"QuotesAreOrdinaryCharacters",
       "a,b\r\n\"x,y\",z",
       Options(","),
       {"<XML>", " <row>", "  <a>\"x</a>", "  <b>y\"</b>", " </row>", "</XML>"},
       Dropped(1)},
      {"SpacesAreKept",
       "a , b\r\n1 , 2",
       Options(","),
       {"<XML>", " <row>", "  <a >1 </a >", "  < b> 2</ b>", " </row>", "</XML>"}},
      {"TwoCharacterSeparator",
       "h1; h2\r\n1; 2;3",
       Options("; "),
       {"<XML>", " <row>", "  <h1>1</h1>", "  <h2>2;3</h2>", " </row>", "</XML>"}},
      {"OverlappingSeparatorMatchesLeftmost",
       "x\r\naab|aab",
       Options("ab", false),
       {"<XML>", " <row>", "  <header1>x</header1>", " </row>", " <row>", "  <header1>a</header1>",
        " </row>", "</XML>"},
       Dropped(2)},
      {"EmptySeparatorKeepsLinesWhole",
       "a,b\r\n1,2",
       Options(""),
       {"<XML>", " <row>", "  <a,b>1,2</a,b>", " </row>", "</XML>"}},
      {"BareCarriageReturnAndLineFeedStayInTheLine",
       "h\r\n1\r2\n3",
       Options(","),
       {"<XML>", " <row>", "  <h>1\r2\n3</h>", " </row>", "</XML>"}},
      {"SeparatorEndingInCarriageReturnDoesNotEatLineBreaks",
       "h1x\rh2\r\n1x\r\r\n2x\r",
       Options("x\r"),
       {"<XML>", " <row>", "  <h1>1</h1>", "  <h2></h2>", " </row>", " <row>", "  <h1>2</h1>",
        "  <h2></h2>", " </row>", "</XML>"}},
      {"SeparatorHoldingALineBreakNeverSplits",
       "a\r\nb\r\n",
       Options("\r\n", false),
       {"<XML>", " <row>", "  <header1>a</header1>", " </row>", " <row>", "  <header1>b</header1>",
        " </row>", "</XML>"}},
      {"NothingIsEscaped",
       "first name,<&>\r\nA&B,<x>",
       Options(","),
       {"<XML>", " <row>", "  <first name>A&B</first name>", "  <<&>><x></<&>>", " </row>",
        "</XML>"}},
      {"EmptyFieldNameAndTags",
       ",b\r\n1,2",
       Options(",", true, true, "", ""),
       {"<>", " <>", "  <>1</>", "  <b>2</b>", " </>", "</>"}},
      {"CustomTags",
       "a\r\n1",
       Options(",", true, true, "Doc", "Rec"),
       {"<Doc>", " <Rec>", "  <a>1</a>", " </Rec>", "</Doc>"}},
      {"GeneratedNamesCountFirstLinePieces",
       "1,2,3\r\n4\r\n5,6,7,8",
       Options(",", false, false),
       {"<XML>", " <header1>1</header1>", " <header2>2</header2>", " <header3>3</header3>",
        " <header1>4</header1>", " <header2></header2>", " <header3></header3>",
        " <header1>5</header1>", " <header2>6</header2>", " <header3>7</header3>", "</XML>"},
       Dropped(1)},
      {"Utf16LittleEndian",
       std::string("\xFF\xFE"
                   "a\0,\0b\0\r\0\n\0"
                   "1\0,\0\xAC\x20",
                   18),
       Options(","),
       {"<XML>", " <row>", "  <a>1</a>", "  <b>\xE2\x82\xAC</b>", " </row>", "</XML>"}},
      {"Utf16BigEndian",
       std::string("\xFE\xFF\0a\0,\0b\0\r\0\n\0"
                   "1\0,\xD8\x3D\xDE\x00",
                   20),
       Options(","),
       {"<XML>", " <row>", "  <a>1</a>", "  <b>\xF0\x9F\x98\x80</b>", " </row>", "</XML>"}},
      {"Utf8MarkIsNotPartOfTheFirstName",
       "\xEF\xBB\xBFid\r\n\xC3\xA9",
       Options(","),
       {"<XML>", " <row>", "  <id>\xC3\xA9</id>", " </row>", "</XML>"}},
      {"InvalidUtf8IsReadAsWindows1252",
       "caf\xE9,\x80\r\n\xFE\xFF,\x81",
       Options(","),
       {"<XML>", " <row>", "  <caf\xC3\xA9>\xC3\xBE\xC3\xBF</caf\xC3\xA9>",
        "  <\xE2\x82\xAC>\xC2\x81</\xE2\x82\xAC>", " </row>", "</XML>"}},
      {"Windows1252StartingWithThorn",
       "\xFE"
       "a\r\nb",
       Options(","),
       {"<XML>", " <row>",
        "  <\xC3\xBE"
        "a>b</\xC3\xBE"
        "a>",
        " </row>", "</XML>"}},
      {"LFEndsALine", "a,b\n1,2\n3", In(kAnyBreaksOnly, Options(",", true, false, "X")),
       Bars("<X>| <a>1</a>| <b>2</b>| <a>3</a>| <b></b>|</X>")},
      {"CRAloneEndsALineCRLFCountsOnce", "a\r1\r\n2\n\r3",
       In(kAnyBreaksOnly, Options(",", true, false, "X")),
       Bars("<X>| <a>1</a>| <a>2</a>| <a>3</a>|</X>")},
      {"EmptyLinesCarryNoRecordBeforeTheHeaderToo", "\n\r\n\ra\n\n1\r\r\n",
       In(kAnyBreaksOnly, Options(",", true, false, "X")), Bars("<X>| <a>1</a>|</X>")},
      {"WithCRLFBreaksAnEmptyLineIsARecordWithNoValues", "a\r\n\r\n1\r\n",
       In(kQuotesOnly, Options(",", true, false, "X")), Bars("<X>| <a></a>| <a>1</a>|</X>")},
      {"WithCRLFBreaksALoneCROrLFIsDataAndCRLFBeatsASeparator", "1\r2\n\r\n3",
       In(kQuotesOnly, Options("\r", false, false, "X")),
       Bars("<X>| <header1>1</header1>| <header2>2\n</header2>| "
            "<header1>3</header1>| <header2></header2>|</X>")},
      {"ASeparatorHoldingLFNeverMatchesWithAnyLineBreak", "a\nb;\nc",
       In(kAnyBreaksOnly, Options(";\n", false, false, "X")),
       Bars("<X>| <header1>a</header1>| <header1>b;</header1>| "
            "<header1>c</header1>|</X>")},
      {"AQuotedFieldHoldsSeparatorsAndLineBreaksAsTheyStand", "a,b\n\"1,2\",\"x\r\ny\nz\"",
       In(kNoEscaping, Options(",", true, false, "X")),
       Bars("<X>| <a>1,2</a>| <b>x|y\nz</b>|</X>")},
      {"ADoubledQuoteIsOneQuote", "a\n\"say \"\"hi\"\"\"\n\"\"\"\"",
       In(kNoEscaping, Options(",", true, false, "X")),
       Bars("<X>| <a>say \"hi\"</a>| <a>\"</a>|</X>")},
      {"WhatFollowsTheClosingQuoteIsAppendedAQuoteInsideIsOrdinary", "a,b\n\"b\"x\"y,c\"d\"",
       In(kNoEscaping, Options(",", true, false, "X")),
       Bars("<X>| <a>bx\"y</a>| <b>c\"d\"</b>|</X>")},
      {"AClosingQuoteIsNeverPartOfASeparator", "a\",b\n\"1\",2\nx\",\"y\"",
       In(kNoEscaping, Options("\",", true, false, "X")),
       Bars("<X>| <a>1,2</a>| <b></b>| <a>x</a>| <b>y</b>|</X>")},
      {"TheEndOfTheInputInsideAQuotedFieldEndsTheRecord", "a,b\n1,\"2\n3,4",
       In(CsvFormat::Standard(), Options(",", true, false, "X")),
       Bars(std::string(kDecl) + "<X>| <a>1</a>| <b>2\n3,4</b>|</X>"), Unterminated(2)},
      {"AHeaderRepeatIsARecordWithTheHeaderSValues", "a,b\n\"a\",b\na,b,\n\"a\"\"\",b\na,\"b\"",
       In(kNoEscaping, Options(",", true, false, "X")),
       Bars("<X>| <a>a</a>| <b>b</b>| <a>a\"</a>| <b>b</b>|</X>"), Dropped(1)},
      {"AnEmptyQuotedStartBeforeTheHeaderSValuesStillRepeatsIt", "a,b\n\"\"a,b\n1,2",
       In(kNoEscaping, Options(",", true, false, "X")), Bars("<X>| <a>1</a>| <b>2</b>|</X>")},
      {"AnEmptyLineDoesNotRepeatAHeaderHoldingOneEmptyValue", "\"\"\r\n\r\n\"\"\r\nx",
       In(kQuotesOnly, Options(",", true, false, "X")), Bars("<X>| <></>| <>x</>|</X>")},
      {"AnEmptySeparatorLeavesTheLineWholeButQuotingApplies", "h\n\"a,\nb\"c,d\ne\"f",
       In(kNoEscaping, Options("", true, false, "X")),
       Bars("<X>| <h>a,\nbc,d</h>| <h>e\"f</h>|</X>")},
      {"ValuesAreEscapedAndForbiddenCharactersReplaced",
       "v\n\"a&b<c>d\re\x01\tf\x1F\xEF\xBF\xBE\xEF\xBF\xBF\xEF\xBF\xBD\"",
       In(CsvFormat::Standard(), Options(",", true, false, "X")),
       Bars(std::string(kDecl) +
            "<X>| <v>a&amp;b&lt;c&gt;d&#13;e\xEF\xBF\xBD\tf\xEF\xBF\xBD\xEF\xBF\xBD"
            "\xEF\xBF\xBD\xEF\xBF\xBD</v>|</X>"),
       Replaced(4)},
      {"NamesAreFixedOneCharacterAtATime",
       " a,1r,a:b,,\xC3\xA9\xEF\xBC\x8C,\xF0\x9D\x90\x80,-\n1,2,3,4,5,6,7",
       In(CsvFormat::Standard(), Options(",", true, false, "X")),
       Bars(std::string(kDecl) +
            "<X>| <_a>1</_a>| <_1r>2</_1r>| <a_b>3</a_b>| <header4>4</header4>| "
            "<\xC3\xA9_>5</\xC3\xA9_>| <_>6</_>| <_->7</_->|</X>")},
      {"AnEmptyDocumentTagBecomesXML", "a\n1",
       In(CsvFormat::Standard(), Options(",", true, false, "")),
       Bars(std::string(kDecl) + "<XML>| <a>1</a>|</XML>")},
      {"ClassicLineBreaksLFWithoutCRLFIsNoticed", "a\n1",
       In(CsvFormat::Classic(), Options(",", true, false, "X")), Bars("<X>|</X>"), OneLine()},
      {"ValuesPastTheHeaderSNamesAreCountedNotWritten", "a\r\n1,2,3\r\n\r\n4,\r\na",
       In(CsvFormat::Classic(), Options(",", true, false, "X")),
       Bars("<X>| <a>1</a>| <a></a>| <a>4</a>|</X>"), Dropped(3)},
      {"AnEmptyLineDropsNothingUnderAnEmptyFirstLine", "\r\n\r\n\"\",\r\n1",
       In(kQuotesOnly, Options(",", false, false, "X")), Bars("<X>|</X>"), Dropped(3)},
      {"ClassicLineBreaksLFBesideCRLFIsNot", "a\r\n1\n2",
       In(CsvFormat::Classic(), Options(",", true, false, "X")), Bars("<X>| <a>1\n2</a>|</X>")},
  };
}

class Conversion : public ::testing::TestWithParam<std::tuple<Case, std::size_t>> {};

TEST_P(Conversion, GivesTheExpectedDocumentInAnyChunking) {
  const auto& [testCase, chunk] = GetParam();
  ConversionResult result;
  EXPECT_EQ(ConvertText(testCase.input, testCase.settings, chunk, &result),
            Lines(testCase.expected));
  EXPECT_EQ(result.warnings, testCase.warnings);
}

INSTANTIATE_TEST_SUITE_P(Layouts, Conversion,
                         ::testing::Combine(::testing::ValuesIn(Cases()),
                                            ::testing::Values(SIZE_MAX, 1, 2, 7)),
                         [](const auto& testInfo) {
                           const std::size_t chunk = std::get<1>(testInfo.param);
                           return std::string(std::get<0>(testInfo.param).name) + "_chunk" +
                                  (chunk == SIZE_MAX ? std::string("Whole")
                                                     : std::to_string(chunk));
                         });

TEST(ConversionLimits, ManyLinesAreAllConverted) {
  std::string input = "n\r\n";
  for (int i = 0; i < 40000; ++i) {
    input += std::to_string(i) + "\r\n";
  }
  const std::string output = ConvertText(input, ConversionSettings{});
  EXPECT_NE(output.find("  <n>39999</n>\r\n"), std::string::npos);
  std::size_t records = 0;
  for (auto at = output.find(" <row>"); at != std::string::npos;
       at = output.find(" <row>", at + 1)) {
    ++records;
  }
  EXPECT_EQ(records, 40000u);
}

TEST(ConversionLimits, LongFieldsAndLinesStreamThroughSmallReads) {
  const std::string longValue(1 << 20, 'v');
  const std::string input = "a,b\r\n" + longValue + "," + longValue;
  const std::string output = ConvertText(input, ConversionSettings{}, 4096);
  EXPECT_EQ(output, Lines({"<XML>", " <row>", "  <a>" + longValue + "</a>",
                           "  <b>" + longValue + "</b>", " </row>", "</XML>"}));
}

TEST(ConversionLimits, LateInvalidByteSwitchesTheWholeTextToWindows1252) {
  const std::string prefix = "h\r\n\xC3\xA9\r\n" + std::string(100000, 'x');
  const std::string output = ConvertText(prefix + "\xE9", ConversionSettings{}, 4096);
  // The UTF-8 pair at the start is read as two Windows-1252 letters as well.
  EXPECT_NE(output.find("  <h>\xC3\x83\xC2\xA9</h>"), std::string::npos);
  EXPECT_NE(output.find("x\xC3\xA9</h>"), std::string::npos);
}

TEST(ConversionLimits, WideFirstLineWithoutHeaderGeneratesEveryName) {
  std::string line;
  for (int i = 0; i < 5000; ++i) {
    line += (i == 0 ? "" : ",") + std::to_string(i);
  }
  ConversionSettings settings;
  settings.HasHeaderRow = false;
  const std::string output = ConvertText(line, settings, 7);
  EXPECT_NE(output.find("  <header5000>4999</header5000>\r\n"), std::string::npos);
  EXPECT_NE(output.find("  <header4097>4096</header4097>\r\n"), std::string::npos);
}

}  // namespace
}  // namespace rowvane
