#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/batch/CsvToXml.h"
#include "engine/core/Failure.h"
#include "engine/xml/HeldRecord.h"
#include "engine/xml/TemplateLoader.h"
#include "engine/xml/TemplateWriter.h"
#include "tests/engine/ConvertText.h"

namespace rowvane {
namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
constexpr std::string_view kRv = "xmlns:rv=\"urn:rowvane:layout\"";

struct Written {
  std::string xml;
  std::uint64_t replaced = 0;
};

// Through the engine, the input handed over `chunk` bytes at a time.
Written Convert(const std::string& templateText, const std::string& csv, std::size_t chunk) {
  ConversionSettings settings;
  settings.Layout = OutputLayout::Template;
  settings.Template = std::make_shared<const LayoutTemplate>(LoadLayoutTemplate(templateText));
  MemorySource source(csv, chunk);
  MemorySink sink;
  ConversionObserver observer;
  ConversionTuning tuning;
  tuning.readChunk = chunk;
  tuning.pauseInterval = std::chrono::milliseconds(0);
  const ConversionResult result = ConvertCsvToXml(source, sink, settings, observer, tuning);
  return {sink.bytes(), result.warnings.replacedCharacters};
}

// The same in chunks of 1 and 7 bytes and whole: every boundary is crossed.
Written WriteThrough(const std::string& templateText, const std::string& csv) {
  const Written whole = Convert(templateText, csv, csv.size() + 1);
  for (const std::size_t chunk : {1, 7}) {
    const Written cut = Convert(templateText, csv, chunk);
    EXPECT_EQ(cut.xml, whole.xml) << "in chunks of " << chunk;
  }
  return whole;
}

struct OutputCase {
  const char* name;
  std::string layout;  // after the document element's name, up to the end
  std::string csv;
  std::string expected;  // after the declaration
};

std::string Root(const std::string& rest) {
  return "<r " + std::string(kRv) + rest;
}

const std::vector<OutputCase> kOutputCases = {
    {"OneElementPerRecord", Root(">\n <i rv:for-each=\"record\" a=\"{x}\">{y}</i>\n</r>"),
     "x,y\r\n1,2\r\n3,4", "<r>\r\n <i a=\"1\">2</i>\r\n <i a=\"3\">4</i>\r\n</r>"},
    {"NoRecordsLeaveTheSkeleton", Root(">\n <i rv:for-each=\"record\">{y}</i>\n</r>"), "x,y",
     "<r>\r\n</r>"},
    {"NoInputLeavesTheSkeleton", Root("><a>t</a>\n <i rv:for-each=\"record\">{y}</i>\n</r>"), "",
     "<r><a>t</a>\r\n</r>"},
    {"GroupsTwoDeep",
     Root(">\n <g rv:group-by=\"{a}\" id=\"{a}\">\n  <h rv:group-by=\"{b}\" k=\"{b}\">\n"
          "   <l rv:for-each=\"record\">{c}</l>\n  </h>\n  <end>{a}</end>\n </g>\n</r>"),
     "a,b,c\r\n1,x,p\r\n1,x,q\r\n1,y,r\r\n2,y,s",
     "<r>\r\n <g id=\"1\">\r\n  <h k=\"x\">\r\n   <l>p</l>\r\n   <l>q</l>\r\n  </h>\r\n"
     "  <h k=\"y\">\r\n   <l>r</l>\r\n  </h>\r\n  <end>1</end>\r\n </g>\r\n"
     " <g id=\"2\">\r\n  <h k=\"y\">\r\n   <l>s</l>\r\n  </h>\r\n  <end>2</end>\r\n </g>\r\n</r>"},
    {"GroupPartsTakeTheRunsFirstRecord",
     Root("><g rv:group-by=\"{a}\"><l rv:for-each=\"record\"/><last>{b}</last></g></r>"),
     "a,b\r\n1,first\r\n1,second", "<r><g><l/><l/><last>first</last></g></r>"},
    {"IfLeavesOutTheElementAndItsIndentation",
     Root(">\n <i rv:for-each=\"record\">\n  <a>{a}</a>\n  <n rv:if=\"{n}\">{n}</n>\n </i>\n</r>"),
     "a,n\r\n1,\r\n2,x",
     "<r>\r\n <i>\r\n  <a>1</a>\r\n </i>\r\n <i>\r\n  <a>2</a>\r\n  <n>x</n>\r\n </i>\r\n</r>"},
    {"IfOnTheForEachElement", Root(">\n <i rv:for-each=\"record\" rv:if=\"{a}\">{a}</i>\n</r>"),
     "a\r\n1\r\n\r\n3", "<r>\r\n <i>1</i>\r\n <i>3</i>\r\n</r>"},
    {"IfAroundTheRepeatedPartHidesIt",
     Root("><g rv:group-by=\"{a}\"><w rv:if=\"{b}\"><i rv:for-each=\"record\">{c}</i></w>"
          "<z/></g></r>"),
     "a,b,c\r\n1,,x\r\n2,y,z", "<r><g><z/></g><g><w><i>z</i></w><z/></g></r>"},
    {"TextBeforeThatIsNotBlankStays", Root(">x <i rv:for-each=\"record\"/></r>"), "a\r\n1\r\n2",
     "<r>x <i/><i/></r>"},
    {"OptionalAttributes",
     Root("><i rv:for-each=\"record\" a=\"{a}\" b=\"{b}\" c=\"k\" rv:optional=\" b\n a \"/></r>"),
     "a,b\r\n1,\r\n,2\r\n,", "<r><i a=\"1\" c=\"k\"/><i b=\"2\" c=\"k\"/><i c=\"k\"/></r>"},
    {"CDataSplitsItsEndAndCarriageReturns",
     Root("><i rv:for-each=\"record\"><![CDATA[x]]{a}\n]]></i></r>"), "a\r\n>y\rz",
     "<r><i><![CDATA[x]]]]><![CDATA[>y]]>&#13;<![CDATA[z\r\n]]></i></r>"},
    {"CDataOfValueAlone", Root("><i rv:for-each=\"record\"><![CDATA[{a}]]></i></r>"), "a\r\n]]>]",
     "<r><i><![CDATA[]]]]><![CDATA[>]]]></i></r>"},
    {"Namespaces",
     "<o:r xmlns:o=\"urn:o\" xmlns=\"urn:d\" xmlns:L=\"urn:rowvane:layout\">"
     "<i L:for-each=\"record\" o:k=\"{a}\"/></o:r>",
     "a\r\n1", "<o:r xmlns:o=\"urn:o\" xmlns=\"urn:d\"><i o:k=\"1\"/></o:r>"},
    {"CommentsAndInstructionsAroundTheDocument",
     "<!--c1-->\n<?p1 d?>\n<r " + std::string(kRv) +
         "><!--in\nside--><?q?><i rv:for-each=\"record\"/></r>\n<!--after--><?z?>",
     "a\r\n1",
     "<!--c1-->\r\n<?p1 d?>\r\n<r><!--in\r\nside--><?q?><i/></r>\r\n<!--after-->\r\n<?z?>"},
    {"EmptyAndNonEmptyConstantElements",
     Root("><e></e><f/><g><![CDATA[]]></g><h> </h><i rv:for-each=\"record\"/></r>"), "a\r\n1",
     "<r><e/><f/><g><![CDATA[]]></g><h> </h><i/></r>"},
    {"ConstantsEscapedAsValuesAre",
     Root("><i rv:for-each=\"record\" a=\"&quot;&#9;&#10;&#13;&amp;&lt;'\">"
          "&#169;&amp;&lt;&gt;&#13;\"</i></r>"),
     "a\r\n1", "<r><i a=\"&quot;&#9;&#10;&#13;&amp;&lt;'\">\xC2\xA9&amp;&lt;&gt;&#13;\"</i></r>"},
    {"ValuesEscapedForTheirPlace", Root("><i rv:for-each=\"record\" a=\"{a}\">{a}</i></r>"),
     "a\r\n<&>\"\t\n\r'",
     "<r><i a=\"&lt;&amp;&gt;&quot;&#9;&#10;&#13;'\">&lt;&amp;&gt;\"\t\n&#13;'</i></r>"},
    {"ForbiddenCharactersReplaced", Root("><i rv:for-each=\"record\" a=\"{a}\">{a}</i></r>"),
     "a\r\nx\x01y\xEF\xBF\xBEz\xEF\xBF\xBD",
     "<r><i a=\"x\xEF\xBF\xBDy\xEF\xBF\xBDz\xEF\xBF\xBD\">x\xEF\xBF\xBDy\xEF\xBF\xBDz\xEF\xBF\xBD"
     "</i></r>"},
    {"BracesDoubledLoneAndNumbered",
     Root("><i rv:for-each=\"record\" a=\"{{x}}\">} {#2}{}{{</i></r>"), ",b\r\n1,2",
     "<r><i a=\"{x}\">} 21{</i></r>"},
    {"BracesInNamesAndReferences",
     Root("><i rv:for-each=\"record\">{a{b}{c&amp;}&#123;{c&amp;}</i></r>"), "a{b,c&\r\n1,2",
     "<r><i>12{c&amp;}</i></r>"},
};

class TemplateOutputTest : public ::testing::TestWithParam<OutputCase> {};

TEST_P(TemplateOutputTest, WritesExactly) {
  const OutputCase& c = GetParam();
  EXPECT_EQ(WriteThrough("<?xml version=\"1.0\"?>\n" + c.layout, c.csv).xml,
            std::string(kDeclaration) + c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, TemplateOutputTest, ::testing::ValuesIn(kOutputCases),
                         [](const auto& row) { return std::string(row.param.name); });

struct LoadErrorCase {
  const char* name;
  std::string layout;
  std::string expected;  // what() starts with this
};

const std::vector<LoadErrorCase> kLoadErrors = {
    {"NotWellFormed", "<r>\n<a></b></r>", "2:"},
    // Refused where the parser has read its name and external identifier,
    // before any declaration inside it.
    {"Doctype", "<!DOCTYPE r [<!ENTITY e \"x\">]><r/>", "1:13: a DOCTYPE is not allowed"},
    {"ExternalDoctype", "<!DOCTYPE r SYSTEM \"file:///etc/passwd\">\n<r>&e;</r>",
     "1:40: a DOCTYPE is not allowed"},
    {"UndefinedEntity", "<r>\n&e;</r>", "2:"},
    {"UndeclaredPrefix", "<r>\n  <x:a/></r>", "2:"},
    {"UnknownDirective", Root(">\n  <i rv:for-each=\"record\" rv:bogus=\"1\"/></r>"),
     "2:3: unknown directive rv:bogus"},
    {"ForEachValue", Root(">\n  <i rv:for-each=\"rows\"/></r>"),
     "2:3: rv:for-each=\"rows\": the only value is \"record\""},
    {"TwoForEach", Root(">\n<i rv:for-each=\"record\"/><j rv:for-each=\"record\"/></r>"),
     "2:26: a second element carries rv:for-each (the first is at 2:1)"},
    {"NoForEach", Root("/>"), "1:1: no element carries the for-each directive"},
    {"ElementOfTheLayoutNamespace", Root("><rv:x/></r>"), "1:34: element rv:x: the namespace"},
    {"DirectiveOnTheDocumentElement", "<r " + std::string(kRv) + " rv:if=\"1\"/>",
     "1:1: the document element cannot carry a directive"},
    {"GroupNotAroundForEach", Root(">\n<g rv:group-by=\"{a}\"/><i rv:for-each=\"record\"/></r>"),
     "2:1: a group-by element must contain the for-each element"},
    {"GroupAndForEachTogether", Root(">\n<g rv:group-by=\"{a}\" rv:for-each=\"record\"/></r>"),
     "2:1: one element cannot carry both"},
    {"PlaceholderOutsideRecords", Root(">\n ab{a}<i rv:for-each=\"record\"/></r>"),
     "2:4: a placeholder outside every for-each and group-by element"},
    {"PlaceholderInConstantIf", Root("><c rv:if=\"{a}\"/><i rv:for-each=\"record\"/></r>"),
     "1:34: a placeholder outside"},
    {"OpenBraceWithoutClose", Root("><i rv:for-each=\"record\">\nx\n  ab{c</i></r>"),
     "3:5: '{' without a closing '}'"},
    {"FieldZero", Root("><i rv:for-each=\"record\"><![CDATA[\n {#0}]]></i></r>"),
     "2:2: {#0}: fields are numbered from 1"},
    {"OptionalNamesNoAttribute",
     Root(">\n<i rv:for-each=\"record\" a=\"1\" rv:optional=\"a b\"/></r>"),
     "2:1: optional attribute 'b' is not an attribute of i"},
    {"OptionalEmpty", Root(">\n<i rv:for-each=\"record\" rv:optional=\" \"/></r>"),
     "2:1: the optional directive names no attribute"},
    {"TooLarge", Root("><i rv:for-each=\"record\"/>" + std::string(1 << 20, ' ') + "</r>"),
     "1:1: the template is larger than 1 MiB"},
    {"TooDeep",
     [] {
       std::string deep = Root(">");
       for (int i = 0; i < 256; ++i) {
         deep += "<d>";
       }
       return deep;
     }(),
     "1:"},
};

class TemplateLoadErrorTest : public ::testing::TestWithParam<LoadErrorCase> {};

TEST_P(TemplateLoadErrorTest, NamesLineColumnAndProblem) {
  const LoadErrorCase& c = GetParam();
  try {
    LoadLayoutTemplate(c.layout);
    FAIL() << "loaded";
  } catch (const TemplateError& error) {
    EXPECT_EQ(std::string(error.what()).substr(0, c.expected.size()), c.expected) << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, TemplateLoadErrorTest, ::testing::ValuesIn(kLoadErrors),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(TemplateLayoutTest, ReadsTheEncodingItsDeclarationNames) {
  const std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r " +
                             std::string(kRv) + "><i rv:for-each=\"record\">\xE9{a}</i></r>";
  EXPECT_EQ(WriteThrough(latin1, "a\r\n1").xml, std::string(kDeclaration) +
                                                    "<r><i>\xC3\xA9"
                                                    "1</i></r>");
}

// A header of `count` fields f1, f2, ...
std::string WideHeader(int count) {
  std::string header;
  for (int i = 1; i <= count; ++i) {
    header += (i == 1 ? "f" : ",f") + std::to_string(i);
  }
  return header;
}

std::string FirstNames(int count) {
  std::string names;
  for (int i = 1; i <= count; ++i) {
    names += (i == 1 ? "f" : ", f") + std::to_string(i);
  }
  return names;
}

TEST(TemplateLayoutTest, MissingFieldsFailBeforeAnythingIsWritten) {
  const struct {
    std::string placeholder;
    std::string csv;
    std::string message;
  } cases[] = {
      {"{Price}", "id,name,qty\r\n1,a,2", "no field named 'Price'; its fields are: id, name, qty"},
      {"{#4}", "id,name,qty\r\n1,a,2", "no field number 4; its fields are: id, name, qty"},
      {"{#99999999999999999999999}", "id,name,qty",
       "no field number 18446744073709551615; its fields are: id, name, qty"},
      {"{Price}", WideHeader(50), "no field named 'Price'; its fields are: " + FirstNames(50)},
      {"{Price}", WideHeader(51),
       "no field named 'Price'; its fields are: " + FirstNames(50) + " ... and 1 more"},
      {"{Price}", WideHeader(100000),
       "no field named 'Price'; its fields are: " + FirstNames(50) + " ... and 99950 more"},
      {"{Price}", ",,\r\n1", "no field named 'Price'; its fields are: (no names)"},
      {"{f99999}{f3}", WideHeader(100000) + "\r\n", ""},
  };
  for (const auto& c : cases) {
    const std::string layout = Root("><i rv:for-each=\"record\">" + c.placeholder + "</i></r>");
    try {
      Convert(layout, c.csv, 7);
      EXPECT_EQ(c.message, "") << c.placeholder << " found its fields";
    } catch (const ConversionError& error) {
      EXPECT_EQ(error.kind(), FailureKind::Layout);
      EXPECT_EQ(error.what(), c.message);
    }
  }
}

TEST(TemplateLayoutTest, WithoutHeaderTheNamesAreGeneratedFromTheFirstRecord) {
  ConversionSettings settings;
  settings.HasHeaderRow = false;
  settings.Layout = OutputLayout::Template;
  for (const auto& [placeholder, expected] : std::vector<std::pair<std::string, std::string>>{
           {"{header2}{#1}", "<r><i>21</i><i>43</i></r>"},
           {"{header3}", "no field named 'header3'; its fields are: header1, header2"}}) {
    settings.Template = std::make_shared<const LayoutTemplate>(
        LoadLayoutTemplate(Root("><i rv:for-each=\"record\">" + placeholder + "</i></r>")));
    try {
      EXPECT_EQ(testing::ConvertText("1,2\r\n3,4,5", settings, 1),
                std::string(kDeclaration) + expected);
    } catch (const ConversionError& error) {
      EXPECT_EQ(error.what(), expected);
    }
  }
}

TEST(TemplateLayoutTest, ReplacedCharactersAreCounted) {
  EXPECT_EQ(WriteThrough(Root("><i rv:for-each=\"record\" a=\"{a}\"><![CDATA[{a}]]></i></r>"),
                         "a\r\nx\x01y\xEF\xBF\xBFz")
                .replaced,
            4U);
}

TEST(TemplateLayoutTest, ARecordLargerThanTheCapFailsNamingItsLine) {
  const std::string csv = "a\r\n1\r\n" + std::string(HeldRecord::kMostBytes + 1, 'x');
  try {
    // A group holds its records (a template without one streams them).
    Convert(Root("><g rv:group-by=\"{a}\"><i rv:for-each=\"record\">{a}</i></g></r>"), csv,
            csv.size());
    FAIL() << "converted";
  } catch (const ConversionError& error) {
    EXPECT_EQ(error.kind(), FailureKind::OutOfMemory);
    EXPECT_EQ(std::string(error.what()),
              "the record on line 3 is larger than 16 MiB, more than a template holds");
  }
}

TEST(TemplateLayoutTest, GroupByGathersEveryRecordOfItsKeyAndGroupAdjacentTakesRuns) {
  const struct {
    const char* directives;  // of the outer and the inner group element
    std::string csv;
    std::string expected;  // the groups, as keys and records
  } cases[] = {
      {"group-by|group-by", "a,b\r\n1,x\r\n2,x\r\n1,x\r\n2,y",
       "<g k=\"1\"><h k=\"x\"><i/><i/></h></g><g k=\"2\"><h k=\"x\"><i/></h><h "
       "k=\"y\"><i/></h></g>"},
      {"group-adjacent|group-adjacent", "a,b\r\n1,x\r\n2,x\r\n1,x\r\n2,y",
       "<g k=\"1\"><h k=\"x\"><i/></h></g><g k=\"2\"><h k=\"x\"><i/></h></g><g k=\"1\"><h "
       "k=\"x\"><i/></h></g><g k=\"2\"><h k=\"y\"><i/></h></g>"},
      // Runs inside a gathered group are taken over that group's records.
      {"group-by|group-adjacent", "a,b\r\n1,x\r\n2,x\r\n1,x\r\n1,y\r\n2,x",
       "<g k=\"1\"><h k=\"x\"><i/><i/></h><h k=\"y\"><i/></h></g><g k=\"2\"><h "
       "k=\"x\"><i/><i/></h></g>"},
      {"group-adjacent|group-by", "a,b\r\n1,x\r\n1,y\r\n1,x\r\n2,x\r\n1,y",
       "<g k=\"1\"><h k=\"x\"><i/><i/></h><h k=\"y\"><i/></h></g><g k=\"2\"><h "
       "k=\"x\"><i/></h></g><g k=\"1\"><h k=\"y\"><i/></h></g>"},
  };
  for (const auto& c : cases) {
    const std::string directives = c.directives;
    const std::string outer = directives.substr(0, directives.find('|'));
    const std::string inner = directives.substr(directives.find('|') + 1);
    const std::string layout =
        Root("><g k=\"{a}\" rv:" + outer + "=\"{a}\"><h k=\"{b}\" rv:" + inner +
             "=\"{b}\"><i rv:for-each=\"record\"/></h></g></r>");
    EXPECT_EQ(WriteThrough(layout, c.csv).xml,
              std::string(kDeclaration) + "<r>" + c.expected + "</r>")
        << c.directives << " " << c.csv;
  }
}

}  // namespace
}  // namespace rowvane
