// --schema and --print-schema through the built rowvane-cli.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tests/cli/ProgramRun.h"
#include "tests/support/TempDir.h"

namespace rowvane::cli::testing {
namespace {

using rowvane::testing::ReadFile;
using rowvane::testing::TempDir;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr const char* kSchemaHead =
    "<?xml version=\"1.0\"?>\n<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">\n";
// XML, then rows of id (an integer), qty (an integer) and name (up to 5 characters).
const std::string kOrders = std::string(kSchemaHead) +
                            " <xs:element name=\"XML\"><xs:complexType><xs:sequence>\n"
                            "  <xs:element name=\"row\" minOccurs=\"0\" maxOccurs=\"unbounded\">\n"
                            "   <xs:complexType><xs:sequence>\n"
                            "    <xs:element name=\"id\" type=\"xs:integer\"/>\n"
                            "    <xs:element name=\"qty\" type=\"xs:integer\"/>\n"
                            "    <xs:element name=\"name\" type=\"Short\"/>\n"
                            "   </xs:sequence></xs:complexType>\n"
                            "  </xs:element>\n"
                            " </xs:sequence></xs:complexType></xs:element>\n"
                            " <xs:simpleType name=\"Short\"><xs:restriction base=\"xs:string\">\n"
                            "  <xs:maxLength value=\"5\"/></xs:restriction></xs:simpleType>\n"
                            "</xs:schema>\n";
// The same with the row type taken from a file in a folder below.
const std::string kIncluding = std::string(kSchemaHead) +
                               " <xs:include schemaLocation=\"parts/row.xsd\"/>\n"
                               " <xs:element name=\"XML\"><xs:complexType><xs:sequence>\n"
                               "  <xs:element name=\"row\" type=\"Row\" minOccurs=\"0\" "
                               "maxOccurs=\"unbounded\"/>\n"
                               " </xs:sequence></xs:complexType></xs:element>\n"
                               "</xs:schema>\n";
const std::string kRowPart = std::string(kSchemaHead) +
                             " <xs:complexType name=\"Row\"><xs:sequence>\n"
                             "  <xs:element name=\"id\"/><xs:element name=\"qty\"/>"
                             "<xs:element name=\"name\"/>\n"
                             " </xs:sequence></xs:complexType>\n"
                             "</xs:schema>\n";

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string Importing(const std::string& location) {
  return std::string(kSchemaHead) + " <xs:import namespace=\"urn:other\" schemaLocation=\"" +
         location + "\"/>\n <xs:element name=\"XML\"/>\n</xs:schema>\n";
}

struct SchemaCase {
  const char* name;
  std::string schema;  // written as schemas/s.xsd
  std::string csv;     // written as in/x.csv
  std::vector<std::string> options;
  int exitCode;
  std::string err;  // exactly; {S}, {X} and {T} stand for the schema, the input, the folder
};

void PrintTo(const SchemaCase& row, std::ostream* out) {
  *out << row.name;
}

const std::string kGood = "id,qty,name\r\n1,2,ann\r\n2,5,bob\r\n";

class SchemaCases : public ::testing::TestWithParam<SchemaCase> {
 protected:
  TempDir m_temp;
};

// Each row runs twice: into a folder that holds an earlier output (which a
// failure must leave as it was), and to standard output (which gets nothing
// unless the output matches).
TEST_P(SchemaCases, CheckEveryOutput) {
  const SchemaCase& row = GetParam();
  m_temp.write("schemas/parts/row.xsd", kRowPart);
  m_temp.write("schemas/more parts/row.xsd", kRowPart);
  m_temp.write("elsewhere/other.xsd", std::string(kSchemaHead) + "</xs:schema>\n");
  const std::string schema = m_temp.write("schemas/s.xsd", row.schema);
  const std::string input = m_temp.write("in/x.csv", row.csv);
  const std::string earlier = m_temp.write("out/x.xml", "earlier");
  const std::string expectedErr =
      Replaced(Replaced(Replaced(row.err, "{S}", schema), "{X}", input), "{T}", m_temp / "");

  std::vector<std::string> toFolder = {"--schema", schema, "-o", m_temp / "out", input};
  toFolder.insert(toFolder.end(), row.options.begin(), row.options.end());
  const ProgramResult batch = RunProgram(ROWVANE_CLI_PATH, toFolder);
  EXPECT_EQ(batch.exitCode, row.exitCode);
  EXPECT_EQ(batch.err, expectedErr);
  if (row.exitCode == 0) {
    EXPECT_THAT(ReadFile(earlier), HasSubstr("<XML>"));
  } else {
    EXPECT_EQ(ReadFile(earlier), "earlier");
  }

  std::vector<std::string> toStream = {"--schema", schema, "-O", "-", input};
  toStream.insert(toStream.end(), row.options.begin(), row.options.end());
  const ProgramResult stream = RunProgram(ROWVANE_CLI_PATH, toStream);
  EXPECT_EQ(stream.exitCode, row.exitCode);
  EXPECT_EQ(stream.err, expectedErr);
  if (row.exitCode == 0) {
    EXPECT_EQ(stream.out, ReadFile(earlier));
  } else {
    EXPECT_THAT(stream.out, IsEmpty());
  }
}

const std::string kNotInFolder = "not a file in the schema's folder or below\n";

INSTANTIATE_TEST_SUITE_P(
    Schema, SchemaCases,
    ::testing::Values(
        SchemaCase{"Matching", kOrders, kGood, {}, 0, ""},
        SchemaCase{"MatchingThroughAnInclude", kIncluding, kGood, {}, 0, ""},
        SchemaCase{"IncludeFromAFolderWithASpace",
                   Replaced(kIncluding, "parts/", "more%20parts/"),
                   kGood,
                   {},
                   0,
                   ""},
        SchemaCase{
            "WrongValueWithTheCountOfTheRest",
            kOrders,
            "id,qty,name\r\n1,x,ann\r\n2,y,bob\r\n3,z,cy\r\n4,w,dee\r\n",
            {},
            1,
            "rowvane-cli: {X}: output does not match {S}: line 5: Element 'qty': 'x' is not a "
            "valid value of the atomic type 'xs:integer'.\n"},
        SchemaCase{"FacetBrokenByAnEscapedValue",
                   kOrders,
                   "id,qty,name\r\n1,2,a&b<cd\r\n",
                   {},
                   1,
                   "rowvane-cli: {X}: output does not match {S}: line 6: Element 'name': [facet "
                   "'maxLength'] The value has a length of '6'; this exceeds the allowed "
                   "maximum length of '5'.\n"},
        SchemaCase{
            "MissingElement",
            kOrders,
            "id,qty\r\n1,2\r\n",
            {},
            1,
            "rowvane-cli: {X}: output does not match {S}: line 6: Element 'row': Missing child "
            "element(s). Expected is ( name ).\n"},
        SchemaCase{"ElementNotExpected",
                   kOrders,
                   "id,qty,name,extra\r\n1,2,ann,e\r\n",
                   {},
                   1,
                   "rowvane-cli: {X}: output does not match {S}: line 7: Element 'extra': This "
                   "element is not expected.\n"},
        SchemaCase{"AttributeNotAllowed",
                   kOrders,
                   kGood,
                   {"--layout", "attributes"},
                   1,
                   "rowvane-cli: {X}: output does not match {S}: line 3: Element 'row', "
                   "attribute 'id': The attribute 'id' is not allowed.\n"},
        SchemaCase{"OtherDocumentElement",
                   kOrders,
                   kGood,
                   {"--document-tag", "Orders"},
                   1,
                   "rowvane-cli: {X}: output does not match {S}: line 2: Element 'Orders': No "
                   "matching global declaration available for the validation root.\n"},
        SchemaCase{
            "ImportFromElsewhereRefused",
            Importing("../elsewhere/other.xsd"),
            kGood,
            {},
            2,
            "rowvane-cli: {S}: line 3: refused to open '{T}elsewhere/other.xsd': " + kNotInFolder},
        SchemaCase{"ImportFromTheNetworkRefused",
                   Importing("http://example.com/other.xsd"),
                   kGood,
                   {},
                   2,
                   "rowvane-cli: {S}: line 3: refused to open 'http://example.com/other.xsd': " +
                       kNotInFolder},
        SchemaCase{
            "ImportThatIsNotThereIsAnError",
            Importing("missing.xsd"),
            kGood,
            {},
            2,
            "rowvane-cli: {S}: line 3: cannot open '{T}schemas/missing.xsd': No such file or "
            "directory\n"},
        SchemaCase{"BrokenSchema",
                   std::string(kSchemaHead) + " <xs:element name=\"XML\" type=\"Nowhere\"/>\n" +
                       "</xs:schema>\n",
                   kGood,
                   {},
                   2,
                   "rowvane-cli: {S}: line 3: element decl. 'XML', attribute 'type': The QName "
                   "value 'Nowhere' does not resolve to a(n) type definition.\n"},
        SchemaCase{"SchemaThatIsNotWellFormed",
                   std::string(kSchemaHead) + " <xs:element name=\"XML\"\n</xs:schema>\n",
                   kGood,
                   {},
                   2,
                   "rowvane-cli: {S}: line 4: error parsing attribute name\n"},
        SchemaCase{"EntityInTheSchema",
                   "<?xml version=\"1.0\"?>\n<!DOCTYPE xs:schema [ <!ENTITY t \"xs:string\"> ]>\n" +
                       std::string(kSchemaHead).substr(22) +
                       " <xs:element name=\"XML\" type=\"&t;\"/>\n</xs:schema>\n",
                   kGood,
                   {},
                   2,
                   "rowvane-cli: {S}: line 2: a document type declaration is not allowed in a "
                   "schema (entities are never expanded)\n"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

class SchemaRuns : public ::testing::Test {
 protected:
  ProgramResult run(std::vector<std::string> args) const {
    return RunProgram(ROWVANE_CLI_PATH, args);
  }
  TempDir m_temp;
};

TEST_F(SchemaRuns, UnusableSchemaStopsTheRunBeforeAnyFile) {
  const std::string input = m_temp.write("in/x.csv", kGood);
  const std::string out = m_temp.makeFolder("out");
  const ProgramResult result = run({"--schema", m_temp / "none.xsd", "-o", out, input});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_THAT(result.err, HasSubstr("none.xsd: cannot open"));
  EXPECT_TRUE(std::filesystem::is_empty(out));
}

// Text that is not UTF-8 only near its end: the conversion has written a good
// part of its output before it starts over in Windows-1252, and the check
// must start over with it.
TEST_F(SchemaRuns, CheckStartsOverWithTheDecoding) {
  std::string csv = "id,qty,name\r\n";
  for (int i = 0; i < 40000; ++i) {
    csv += std::to_string(i) + ",1,ann\r\n";
  }
  csv += "1,2,caf\xE9\r\n";
  const std::string input = m_temp.write("in/x.csv", csv);
  const std::string schema = m_temp.write("s.xsd", kOrders);
  const ProgramResult result = run({"--schema", schema, "-O", m_temp / "x.xml", input});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_THAT(ReadFile(m_temp / "x.xml"), HasSubstr("<name>caf\xC3\xA9</name>"));
}

TEST_F(SchemaRuns, PrintSchemaOfAMissingInputFails) {
  const ProgramResult result = run({"--print-schema", m_temp / "none.csv"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_THAT(result.out, IsEmpty());
  EXPECT_EQ(result.err, "rowvane-cli: " + (m_temp / "none.csv") + ": input file not found\n");
}

// Random text for a CSV: separators, quotes, line breaks, markup, bytes that
// are not UTF-8 and characters names may not hold.
std::string RandomText(std::mt19937& random, std::size_t longest) {
  static const std::vector<std::string> kPieces = {
      "a",    "id",   "Z9",   " ",    ",",   ";", "\"", "<",        "&",
      ">",    "\r\n", "\n",   "x:y",  "1",   "-", ".",  "\xC3\xA4", "\xE2\x82\xAC",
      "\xE9", "\t",   "\x01", "name", "name"};
  std::string text;
  const std::size_t pieces = random() % (longest + 1);
  for (std::size_t i = 0; i < pieces; ++i) {
    text += kPieces[random() % kPieces.size()];
  }
  return text;
}

// Each option at most once: none, or one of its values. The attributes
// layout has a row element for each record.
std::vector<std::string> RandomOptions(std::mt19937& random, bool attributes) {
  using Choice = std::vector<std::string>;
  static const std::vector<std::vector<Choice>> kOptions = {
      {{"--no-header"}},
      {{"--no-row-tags"}},
      {{"--format", "standard"}},
      {{"-s", ";"}, {"-s", ""}},
      {{"--document-tag", ""}, {"--document-tag", "1 bad"}},
      {{"--row-tag", "r\xC3\xA4"}, {"--row-tag", ""}},
      {{"--line-breaks", "any"}},
      {{"--quotes", "double"}},
      {{"--encoding", "windows-1252"}, {"--encoding", "utf-8"}}};
  std::vector<std::string> options;
  if (attributes) {
    options = {"--layout", "attributes"};
  }
  for (const std::vector<Choice>& values : kOptions) {
    const std::size_t pick = random() % (values.size() + 1);
    if (pick < values.size() && !(attributes && values[pick][0] == "--no-row-tags")) {
      options.insert(options.end(), values[pick].begin(), values[pick].end());
    }
  }
  return options;
}

// Whatever the input, the layout and the options, every output matches the
// schema --print-schema gives for them.
TEST_F(SchemaRuns, OutputsMatchThePrintedSchema) {
  std::mt19937 random(20261207);
  for (int round = 0; round < 40; ++round) {
    const std::vector<std::string> options = RandomOptions(random, round % 2 == 1);
    const std::string csv = RandomText(random, 60);
    const std::string input = m_temp.write("in/r.csv", csv);
    std::vector<std::string> print = {"--print-schema", input};
    print.insert(print.end(), options.begin(), options.end());
    const ProgramResult printed = run(print);
    ASSERT_EQ(printed.exitCode, 0) << printed.err;
    const std::string schema = m_temp.write("r.xsd", printed.out);
    std::vector<std::string> convert = {"--schema", schema, "-O", "-", input};
    convert.insert(convert.end(), options.begin(), options.end());
    const ProgramResult converted = run(convert);
    EXPECT_EQ(converted.exitCode, 0) << "round " << round << ": " << converted.err << "\n"
                                     << printed.out << "\n"
                                     << csv;
    EXPECT_THAT(converted.out, HasSubstr("<?xml"));
  }
}

TEST_F(SchemaRuns, PrintedSchemaHasTheRowsAndFieldsInOrder) {
  const std::string input = m_temp.write("in/x.csv", "b,a,,9\r\n1,2,3,4\r\n,x,0.5,2024-01-31\r\n");
  // Each field is typed by all its values; --types text keeps every value text.
  for (const auto& [types, expected] :
       std::vector<std::pair<std::string, std::vector<std::string>>>{
           {"inferred", {"integerOrEmpty", "xs:string", "xs:decimal", "xs:string"}},
           {"text", {"xs:string", "xs:string", "xs:string", "xs:string"}}}) {
    const ProgramResult result =
        run({"--print-schema", input, "--row-tag", "line", "--types", types});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_THAT(
        result.out,
        HasSubstr("  <xs:element name=\"XML\">\n"
                  "    <xs:complexType>\n"
                  "      <xs:sequence>\n"
                  "        <xs:element name=\"line\" minOccurs=\"0\" maxOccurs=\"unbounded\">\n"
                  "          <xs:complexType>\n"
                  "            <xs:sequence>\n"
                  "              <xs:element name=\"b\" type=\"" +
                  expected[0] +
                  "\"/>\n"
                  "              <xs:element name=\"a\" type=\"" +
                  expected[1] +
                  "\"/>\n"
                  "              <xs:element name=\"header3\" type=\"" +
                  expected[2] +
                  "\"/>\n"
                  "              <xs:element name=\"_9\" type=\"" +
                  expected[3] +
                  "\"/>\n"
                  "            </xs:sequence>\n"))
        << types;
  }
  const ProgramResult misplaced = run({"--types", "text", "-o", m_temp / "out", input});
  EXPECT_EQ(misplaced.exitCode, 2);
  EXPECT_THAT(misplaced.err, HasSubstr("--types goes with --print-schema only"));
}

// The shipped example: its outputs match the schema printed for it.
TEST_F(SchemaRuns, ExampleTemplateOutputMatchesItsPrintedSchema) {
  const std::string examples = ROWVANE_EXAMPLES;
  const std::string input = examples + "/order-lines.csv";
  const std::string layout = examples + "/orders-template.xml";
  const ProgramResult printed = run({"--print-schema", input, "--template", layout});
  ASSERT_EQ(printed.exitCode, 0) << printed.err;
  EXPECT_THAT(printed.out, HasSubstr("targetNamespace=\"urn:example:orders\""));
  const std::string schema = m_temp.write("orders.xsd", printed.out);
  const ProgramResult converted = run({"--schema", schema, "--template", layout, "-O", "-", input});
  EXPECT_EQ(converted.exitCode, 0) << converted.err;
  EXPECT_THAT(converted.out, HasSubstr("<order id="));
}

struct TemplateRefusal {
  const char* name;
  std::string layout;  // written as t.xml
  int exitCode;
  std::string err;  // after "rowvane-cli: " and the file's path
};

void PrintTo(const TemplateRefusal& row, std::ostream* out) {
  *out << row.name;
}

class TemplateRefusals : public ::testing::TestWithParam<TemplateRefusal> {
 protected:
  TempDir m_temp;
};

TEST_P(TemplateRefusals, NothingIsPrinted) {
  const TemplateRefusal& row = GetParam();
  const std::string input = m_temp.write("in.csv", "id,name\r\n");
  const std::string layout = m_temp.write("t.xml", row.layout);
  const ProgramResult result =
      RunProgram(ROWVANE_CLI_PATH, {"--print-schema", input, "--template", layout});
  EXPECT_EQ(result.exitCode, row.exitCode);
  EXPECT_THAT(result.out, IsEmpty());
  EXPECT_EQ(result.err, "rowvane-cli: " + (row.exitCode == 1 ? input : layout) + row.err + "\n");
}

constexpr const char* kRv = "<r xmlns:rv=\"urn:rowvane:layout\"";

INSTANTIATE_TEST_SUITE_P(
    Schema, TemplateRefusals,
    ::testing::Values(
        TemplateRefusal{
            "ElementsOfTwoNamespaces",
            std::string(kRv) + " xmlns:b=\"urn:b\">\n  <b:i rv:for-each=\"record\"/>\n</r>", 2,
            ":2:3: element b:i is in namespace urn:b but the document element r (1:1) "
            "is in no namespace; a schema describes the elements of one namespace"},
        TemplateRefusal{
            "DefaultNamespaceUndeclaredBelow",
            std::string(kRv) + " xmlns=\"urn:a\"><i rv:for-each=\"record\" xmlns=\"\"/></r>", 2,
            ":1:48: element i is in no namespace but the document element r (1:1) is "
            "in namespace urn:a; a schema describes the elements of one namespace"},
        TemplateRefusal{
            "SiblingsWithOtherAttributes",
            std::string(kRv) +
                ">\n  <i rv:for-each=\"record\"><v a=\"{id}\"/><v b=\"{id}\"/></i>\n</r>",
            2,
            ":2:40: sibling elements v (2:27) and v (2:40) differ in content; XML "
            "Schema needs the declarations of same-named siblings to agree"},
        TemplateRefusal{"SiblingsWithOtherContent",
                        std::string(kRv) +
                            ">\n  <i rv:for-each=\"record\"><v>{id}</v><w/><v><x/></v></i>\n</r>",
                        2,
                        ":2:42: sibling elements v (2:27) and v (2:42) differ in content; XML "
                        "Schema needs the declarations of same-named siblings to agree"},
        TemplateRefusal{"AttributeInANamespace",
                        std::string(kRv) + " xml:lang=\"en\"><i rv:for-each=\"record\"/></r>", 2,
                        ":1:1: attribute xml:lang of element r is in namespace "
                        "http://www.w3.org/XML/1998/namespace; a schema describes attributes "
                        "without a prefix only"},
        TemplateRefusal{"TemplateThatCannotBeWritten", std::string(kRv) + "><i/></r>", 2,
                        ":1:1: no element carries the for-each directive"},
        TemplateRefusal{"FieldTheInputLacks",
                        std::string(kRv) + "><i rv:for-each=\"record\">{price}</i></r>", 1,
                        ": no field named 'price'; its fields are: id, name"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
}  // namespace rowvane::cli::testing
