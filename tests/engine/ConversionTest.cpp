#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/engine/ConvertText.h"

namespace rowvane {
namespace {

using testing::ConvertText;
using testing::Lines;

struct Case {
  const char* name;
  std::string input;
  ConversionSettings settings;
  std::vector<std::string> expected;  // output lines
};

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
       {"<XML>", " <row>", " </row>", " <row>", " </row>", "</XML>"}},
      {"EmptyFirstLineWithoutHeaderHasNoNames",
       "\r\n1,2",
       Options(",", false),
       {"<XML>", " <row>", " </row>", " <row>", " </row>", "</XML>"}},
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
       {"<XML>", " <row>", "  <a>1</a>", "  <b>2</b>", " </row>", "</XML>"}},
      {"QuotesAreOrdinaryCharacters",
       "a,b\r\n\"x,y\",z",
       Options(","),
       {"<XML>", " <row>", "  <a>\"x</a>", "  <b>y\"</b>", " </row>", "</XML>"}},
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
        " </row>", "</XML>"}},
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
        " <header1>5</header1>", " <header2>6</header2>", " <header3>7</header3>", "</XML>"}},
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
  };
}

class Conversion : public ::testing::TestWithParam<std::tuple<Case, std::size_t>> {};

TEST_P(Conversion, GivesTheExpectedDocumentInAnyChunking) {
  const auto& [testCase, chunk] = GetParam();
  EXPECT_EQ(ConvertText(testCase.input, testCase.settings, chunk), Lines(testCase.expected));
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
