#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/xml/AttributeNames.h"
#include "tests/engine/ConvertText.h"

namespace rowvane {
namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

struct AttributeCase {
  const char* name;
  std::string csv;
  std::string expected;  // after the declaration
  bool header = true;
  std::string rowTag = "row";
  bool quotes = false;  // the standard format: quoted values, "" for a quote
};

const std::vector<AttributeCase> kCases = {
    {"OneElementPerRecord", "id,name\r\n7,Ann\r\n8,Bo",
     "<XML>\r\n <row id=\"7\" name=\"Ann\"/>\r\n <row id=\"8\" name=\"Bo\"/>\r\n</XML>"},
    {"NoRecords", "id,name", "<XML>\r\n</XML>"},
    {"Empty", "", "<XML>\r\n</XML>"},
    {"ShortRecordsPaddedLongOnesCut", "a,b\r\n1\r\n1,2,3",
     "<XML>\r\n <row a=\"1\" b=\"\"/>\r\n <row a=\"1\" b=\"2\"/>\r\n</XML>"},
    {"NamesFixedAndMadeUnique", "a,a,a_2,xmlns,,x:y,1\r\n1,2,3,4,5,6,7",
     "<XML>\r\n <row a=\"1\" a_3=\"2\" a_2=\"3\" _xmlns=\"4\" header5=\"5\" x_y=\"6\" "
     "_1=\"7\"/>\r\n"
     "</XML>"},
    {"ValuesEscaped", "v\r\n<&>\"'\tx\ny\rz\x01\xEF\xBF\xBE\xEF\xBF\xBD",
     "<XML>\r\n <row "
     "v=\"&lt;&amp;&gt;&quot;'&#9;x&#10;y&#13;z\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"/>"
     "\r\n</XML>"},
    {"WithoutHeader", "1,2\r\n3",
     "<XML>\r\n <row header1=\"1\" header2=\"2\"/>\r\n <row header1=\"3\" header2=\"\"/>\r\n</XML>",
     false},
    {"RowTagFixed", "a\r\n1", "<XML>\r\n <_1r_w a=\"1\"/>\r\n</XML>", true, "1r w"},
    {"QuoteOfAQuotedValueEscaped", "a,b\r\n\"\"\"\",\"x\"\"y\"\"\"",
     "<XML>\r\n <row a=\"&quot;\" b=\"x&quot;y&quot;\"/>\r\n</XML>", true, "row", true},
};

class AttributeLayoutTest : public ::testing::TestWithParam<AttributeCase> {};

TEST_P(AttributeLayoutTest, WritesExactlyInAnyChunks) {
  const AttributeCase& c = GetParam();
  ConversionSettings settings;
  settings.Layout = OutputLayout::FieldsAsAttributes;
  settings.HasHeaderRow = c.header;
  settings.RowTag = c.rowTag;
  if (c.quotes) {
    settings.Format = CsvFormat::Standard();
  }
  for (const std::size_t chunk : {std::size_t{1}, std::size_t{7}, c.csv.size() + 1}) {
    EXPECT_EQ(testing::ConvertText(c.csv, settings, chunk), std::string(kDeclaration) + c.expected)
        << "in chunks of " << chunk;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, AttributeLayoutTest, ::testing::ValuesIn(kCases),
                         [](const auto& row) { return std::string(row.param.name); });

// Whatever the names, every attribute of a row has a name of its own.
TEST(AttributeNamesTest, NamesAreUniqueAndKeepTheirOrder) {
  const std::vector<std::vector<std::string>> headers = {
      {"a", "a", "a_2"}, {"a_2", "a", "a"}, {"a", "a_2", "a", "a_3", "a"}, {"", "header1", ""}};
  const std::vector<std::vector<std::string>> expected = {{"a", "a_3", "a_2"},
                                                          {"a_2", "a", "a_3"},
                                                          {"a", "a_2", "a_4", "a_3", "a_5"},
                                                          {"header1", "header1_2", "header3"}};
  for (std::size_t i = 0; i < headers.size(); ++i) {
    EXPECT_EQ(AttributeNames(headers[i]), expected[i]);
  }
}

}  // namespace
}  // namespace rowvane
