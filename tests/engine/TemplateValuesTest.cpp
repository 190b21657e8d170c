#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/batch/CsvToXml.h"
#include "engine/core/Failure.h"
#include "engine/xml/LayoutTemplate.h"
#include "engine/xml/TemplateLoader.h"

namespace rowvane {
namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

struct Converted {
  std::string xml;
  std::optional<Failure> failure;
};

// Through the engine in pieces of `chunk` bytes, named pay.csv, at a fixed moment.
Converted Convert(const std::string& layout, const std::string& csv, std::size_t chunk) {
  ConversionSettings settings;
  settings.Layout = OutputLayout::Template;
  settings.Separator = ";";  // as exports with decimal commas have it
  LayoutTemplate loaded = LoadLayoutTemplate(layout, {{"prefix", "MSG"}});
  loaded.source = "t.xml";
  settings.Template = std::make_shared<const LayoutTemplate>(std::move(loaded));
  settings.FixedNow = 1732404357;  // 2024-11-23T23:25:57Z
  MemorySource source(csv, chunk);
  MemorySink sink;
  ConversionObserver observer;
  ConversionTuning tuning;
  tuning.readChunk = chunk;
  tuning.pauseInterval = std::chrono::milliseconds(0);
  tuning.inputName = "pay.csv";
  try {
    ConvertCsvToXml(source, sink, settings, observer, tuning);
    return {sink.bytes().substr(kDeclaration.size()), std::nullopt};
  } catch (const ConversionError& error) {
    return {{}, error.failure()};
  }
}

// The same in pieces of 1 and 7 bytes and whole, which must agree.
Converted ConvertInPieces(const std::string& layout, const std::string& csv) {
  const Converted whole = Convert(layout, csv, csv.size() + 1);
  for (const std::size_t chunk : {1, 7}) {
    const Converted cut = Convert(layout, csv, chunk);
    EXPECT_EQ(cut.xml, whole.xml) << "in pieces of " << chunk;
    EXPECT_EQ(cut.failure.has_value(), whole.failure.has_value()) << "in pieces of " << chunk;
  }
  return whole;
}

std::string Layout(const std::string& inside) {
  return "<r xmlns:rv=\"urn:rowvane:layout\">" + inside + "</r>";
}

const std::string kPayments =
    "Debtor;Date;Amount\r\n"
    "B;23.11.2024;1.250,00\r\n"
    "A;24.11.2024;10,50\r\n"
    "B;23.11.2024;0,25\r\n"
    "A;24.11.2024;\r\n"
    "C;01.12.2024;99,99";

struct ValueCase {
  const char* name;
  std::string inside;  // the document element's content
  std::string csv;
  std::string expected;  // the document, after the declaration
};

class TemplateValuesTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(TemplateValuesTest, WritesExactly) {
  const ValueCase& c = GetParam();
  const Converted converted = ConvertInPieces(Layout(c.inside), c.csv);
  ASSERT_FALSE(converted.failure) << converted.failure->message;
  EXPECT_EQ(converted.xml, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TemplateValuesTest,
    ::testing::Values(
        ValueCase{"TotalsBeforeTheRecords",
                  "<n>{= count() }</n><s>{= format(sum(number([Amount], ',', '.')), 2) }</s>"
                  "<i rv:for-each=\"record\">{= format(number([Amount], ',', '.'), 2) }</i>",
                  "Debtor;Date;Amount\r\nB;1;1.250,00\r\nA;2;10,5\r\nB;3;",
                  "<r><n>3</n><s>1260.50</s><i>1250.00</i><i>10.50</i><i></i></r>"},
        ValueCase{"GroupTotalsPerDebtorInAnyOrder",
                  "<b rv:group-by=\"{Debtor}\" d=\"{Debtor}\" n=\"{= count() }\" "
                  "s=\"{= sum(number([Amount], ',', '.')) }\" p=\"{= position() }\">"
                  "<i rv:for-each=\"record\" p=\"{= position() }\" l=\"{= line() }\"/></b>",
                  kPayments,
                  "<r><b d=\"B\" n=\"2\" s=\"1250.25\" p=\"1\"><i p=\"1\" l=\"2\"/><i p=\"2\" "
                  "l=\"4\"/></b><b d=\"A\" n=\"2\" s=\"10.5\" p=\"2\"><i p=\"1\" l=\"3\"/><i "
                  "p=\"2\" l=\"5\"/></b><b d=\"C\" n=\"1\" s=\"99.99\" p=\"3\"><i p=\"1\" "
                  "l=\"6\"/></b></r>"},
        ValueCase{"DatesAsKeysAndValues",
                  "<b rv:group-by=\"{= date([Date], 'DD.MM.YYYY') }\" "
                  "d=\"{= date([Date], 'DD.MM.YYYY') }\"><i rv:for-each=\"record\"/></b>",
                  kPayments,
                  "<r><b d=\"2024-11-23\"><i/><i/></b><b d=\"2024-11-24\"><i/><i/></b><b "
                  "d=\"2024-12-01\"><i/></b></r>"},
        ValueCase{"DocumentLevelFunctions",
                  "<m>{= concat(param('prefix'), '-', file-stem(), '-', file-name()) }</m>"
                  "<t>{= now() }</t><d>{= today() }</d><i rv:for-each=\"record\"/>",
                  "a\r\n1",
                  "<r><m>MSG-pay-pay.csv</m><t>2024-11-23T23:25:57Z</t><d>2024-11-23</d><i/></r>"},
        ValueCase{
            "MinMaxFirstLastOverTheInput",
            "<x lo=\"{= min([Amount]) }\" hi=\"{= max([Amount]) }\" f=\"{= first([Debtor]) }\" "
            "l=\"{= last([Debtor]) }\" c=\"{= count([Debtor] = 'A') }\"/>"
            "<i rv:for-each=\"record\"/>",
            "Debtor;Amount\r\nB;10\r\nA;9.5\r\nA;\r\nC;-2",
            "<r><x lo=\"-2\" hi=\"10\" f=\"B\" l=\"C\" c=\"2\"/><i/><i/><i/><i/></r>"},
        ValueCase{"ConditionsOnExpressions",
                  "<i rv:for-each=\"record\"><f rv:if=\"{= [Status] = 'failed' }\">{Name}</f></i>",
                  "Name;Status\r\nt1;passed\r\nt2;failed", "<r><i></i><i><f>t2</f></i></r>"},
        ValueCase{"ItemsOfAField",
                  "<i rv:for-each=\"record\"><l rv:for-each-item=\"{Images}\" "
                  "rv:separator=\"|\">{= trim(item()) }</l></i>",
                  "Images\r\na.jpg| b.jpg||", "<r><i><l>a.jpg</l><l>b.jpg</l></i></r>"},
        ValueCase{"AggregatesOfGroupsInsideAdjacentRuns",
                  "<a rv:group-adjacent=\"{k}\" n=\"{= count() }\"><b rv:group-by=\"{v}\" "
                  "n=\"{= count() }\" s=\"{= sum([v]) }\"><i rv:for-each=\"record\"/></b></a>",
                  "k;v\r\n1;2\r\n1;3\r\n1;2\r\n2;2\r\n1;2",
                  "<r><a n=\"3\"><b n=\"2\" s=\"4\"><i/><i/></b><b n=\"1\" s=\"3\"><i/></b></a><a "
                  "n=\"1\"><b n=\"1\" s=\"2\"><i/></b></a><a n=\"1\"><b n=\"1\" "
                  "s=\"2\"><i/></b></a></r>"},
        ValueCase{"NoRecordsGiveTheSkeletonWithEmptyTotals",
                  "<n>{= count() }</n><s>{= sum([a]) }</s><m>{= min([a]) }</m><i "
                  "rv:for-each=\"record\"/>",
                  "a", "<r><n>0</n><s>0</s><m></m></r>"}),
    [](const ::testing::TestParamInfo<ValueCase>& param) { return param.param.name; });

struct FailureCase {
  const char* name;
  std::string inside;
  std::string csv;
  std::string message;
  std::uint64_t line;
  std::string field;
};

class TemplateValueFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(TemplateValueFailureTest, FailsTheInputNamingLineFieldAndValue) {
  const FailureCase& c = GetParam();
  const Converted converted = ConvertInPieces(Layout(c.inside), c.csv);
  ASSERT_TRUE(converted.failure) << converted.xml;
  EXPECT_EQ(converted.failure->kind, FailureKind::Value);
  EXPECT_EQ(converted.failure->message, c.message);
  EXPECT_EQ(converted.failure->place.line, c.line);
  EXPECT_EQ(converted.failure->place.field, c.field);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TemplateValueFailureTest,
    ::testing::Values(
        FailureCase{"ADateThatDoesNotExist",
                    "<i rv:for-each=\"record\">{= date([Date], 'DD.MM.YYYY') }</i>",
                    "Date\r\n23.11.2024\r\n31.02.2024",
                    "t.xml:1:61: field 'Date': '31.02.2024' is not a date in the pattern "
                    "'DD.MM.YYYY'",
                    3, "Date"},
        // An aggregate reads every record, even one whose part rv:if leaves out.
        FailureCase{"ASumOverAValueThatIsNoNumber",
                    "<s rv:if=\"\">{= sum([a]) }</s><i rv:for-each=\"record\"/>", "a\r\n1\r\nx",
                    "t.xml:1:49: field 'a': 'x' is not a number", 3, "a"},
        FailureCase{"AGroupsPartToldWithItsFirstRecordsLine",
                    "<g rv:group-by=\"{k}\" v=\"{= number([v]) }\"><i rv:for-each=\"record\"/></g>",
                    "k;v\r\n1;2\r\n2;x\r\n2;3", "t.xml:1:34: field 'v': 'x' is not a number", 3,
                    "v"}),
    [](const ::testing::TestParamInfo<FailureCase>& param) { return param.param.name; });

TEST(TemplateValuesTest, WhatALeftOutPartHoldsIsNotEvaluated) {
  const Converted converted =
      ConvertInPieces(Layout("<i rv:for-each=\"record\"><n rv:if=\"{b}\">{= number([a]) }</n></i>"),
                      "a;b\r\nx;\r\n2;y");
  ASSERT_FALSE(converted.failure) << converted.failure->message;
  EXPECT_EQ(converted.xml, "<r><i></i><i><n>2</n></i></r>");
}

TEST(TemplateValuesTest, TemplateErrorsNameThePlace) {
  const struct {
    std::string inside;
    std::string error;
  } cases[] = {
      {"<d>{= [a] }</d><i rv:for-each=\"record\"/>",
       "1:40: a field outside every for-each and group element has no record to take its value "
       "from; an aggregate such as count() or sum() takes it from every record"},
      {"<d>{= line() }</d><i rv:for-each=\"record\"/>",
       "1:40: line() outside every for-each and group element has no record"},
      {"<g rv:group-by=\"{= count() }\"><i rv:for-each=\"record\"/></g>",
       "1:34: an aggregate cannot stand in a group's key"},
      {"<i rv:for-each=\"record\">{= item() }</i>",
       "1:61: item() stands outside every for-each-item element"},
      {"<g rv:group-by=\"{a}\" rv:group-adjacent=\"{a}\"><i rv:for-each=\"record\"/></g>",
       "1:34: one element cannot carry both group-by and group-adjacent"},
      {"<i rv:for-each=\"record\"><l rv:for-each-item=\"{a}\"/></i>",
       "1:58: for-each-item needs a separator: rv:separator=\",\" or another text of one or more "
       "characters"},
      {"<l rv:for-each-item=\"{a}\" rv:separator=\",\"/><i rv:for-each=\"record\"/>",
       "1:34: a for-each-item element must stand inside the for-each element; l does not"},
  };
  for (const auto& c : cases) {
    try {
      LoadLayoutTemplate(Layout(c.inside));
      ADD_FAILURE() << "loaded: " << c.inside;
    } catch (const TemplateError& error) {
      EXPECT_EQ(std::string(error.what()), c.error) << c.inside;
    }
  }
}

}  // namespace
}  // namespace rowvane
