// The schemas printed for the layouts: every output the layout writes, for
// any input and options, matches the schema printed for its names.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/core/Failure.h"
#include "engine/csv/FieldNames.h"
#include "engine/xml/AttributeLayoutSchema.h"
#include "engine/xml/ElementLayoutSchema.h"
#include "engine/xml/SchemaValidatingSink.h"
#include "engine/xml/TemplateCompiler.h"
#include "engine/xml/TemplateParser.h"
#include "engine/xml/TemplateSchema.h"
#include "engine/xml/XmlSchema.h"
#include "tests/engine/ConvertText.h"
#include "tests/support/RandomTemplate.h"
#include "tests/support/TempDir.h"

namespace rowvane {
namespace {

class LayoutSchemaTest : public ::testing::Test {
 protected:
  /// Why `xml` does not match `schemaText`, or nothing when it does.
  std::optional<std::string> mismatch(const std::string& schemaText, const std::string& xml) {
    const XmlSchema schema(m_temp.write("printed.xsd", schemaText));
    MemorySink target;
    SchemaValidatingSink sink(target, schema);
    sink.write(xml.data(), xml.size());
    try {
      sink.finish();
      return std::nullopt;
    } catch (const ConversionError& error) {
      return error.what();
    }
  }

  rowvane::testing::TempDir m_temp;
};

// CSV text with separators, quotes, line breaks, markup, bytes that are not
// UTF-8 and characters that names may not hold.
std::string RandomCsv(std::mt19937& random) {
  static const std::vector<std::string> kPieces = {
      "a",    "id",   "Z9",   " ",     ",",   ",", "\"", "<",        "&",
      ">",    "\r\n", "\n",   "x:y",   "1",   "-", ".",  "\xC3\xA4", "\xE2\x82\xAC",
      "\xE9", "\t",   "\x01", "xmlns", "a_2", "{", "]]>"};
  std::string text;
  for (std::size_t pieces = random() % 60; pieces > 0; --pieces) {
    text += kPieces[random() % kPieces.size()];
  }
  return text;
}

ConversionSettings RandomSettings(std::mt19937& random, OutputLayout layout) {
  ConversionSettings settings;
  settings.Layout = layout;
  settings.Format = random() % 2 == 0 ? CsvFormat::Standard() : CsvFormat{};
  settings.Format.escaping = Escaping::Xml;
  settings.HasHeaderRow = random() % 3 != 0;
  settings.IncludeRowTags = layout != OutputLayout::Elements || random() % 3 != 0;
  static const std::vector<std::string> kTags = {"", "1 bad", "r\xC3\xA4", "Orders", "x:y"};
  if (random() % 2 == 0) {
    settings.DocumentTag = kTags[random() % kTags.size()];
  }
  if (random() % 2 == 0) {
    settings.RowTag = kTags[random() % kTags.size()];
  }
  return settings;
}

std::vector<std::string> NamesOf(const std::string& csv, const ConversionSettings& settings) {
  MemorySource source(csv);
  return ReadFieldNames(source, settings);
}

// A schema is printed for the names a conversion would use, even when no record follows.
TEST(FieldNamesTest, NamesAsAConversionReadsThem) {
  const struct {
    std::string csv;
    bool header;
    std::vector<std::string> names;
  } kCases[] = {{"b,a\r\n", true, {"b", "a"}},
                {"b,a\r\n1,2,3\r\n", true, {"b", "a"}},
                {"1,2,3\r\n4\r\n", false, {"header1", "header2", "header3"}},
                {"", true, {}}};
  for (const auto& row : kCases) {
    ConversionSettings settings;
    settings.HasHeaderRow = row.header;
    EXPECT_EQ(NamesOf(row.csv, settings), row.names) << row.csv;
  }
}

TEST_F(LayoutSchemaTest, EveryElementOrAttributeOutputMatchesItsSchema) {
  std::mt19937 random(2026);
  for (int round = 0; round < 300; ++round) {
    const OutputLayout layout =
        round % 2 == 0 ? OutputLayout::Elements : OutputLayout::FieldsAsAttributes;
    const ConversionSettings settings = RandomSettings(random, layout);
    const std::string csv = RandomCsv(random);
    const std::vector<std::string> names = NamesOf(csv, settings);
    const std::string schema = layout == OutputLayout::Elements
                                   ? ElementLayoutSchema(names, settings)
                                   : AttributeLayoutSchema(names, settings);
    const std::string xml = testing::ConvertText(csv, settings);
    EXPECT_EQ(mismatch(schema, xml), std::nullopt) << "round " << round << "\n" << schema << xml;
  }
}

// Random columns whose values are mostly of one kind, with now and then an
// empty value or one of another kind.
std::string RandomTypedCsv(std::mt19937& random) {
  static const std::vector<std::vector<std::string>> kKinds = {
      {"0", "7", "-12", "300"},
      {"0.5", "-0.25", "3", "10.0"},
      {"true", "false"},
      {"2024-02-29", "0001-01-01", "9999-12-31"},
      {"2024-11-23T23:25:57", "2024-11-23T00:00:00.5Z", "2000-01-01T12:30:00+14:00"},
      {"007", "-0", "1e5", "1.250,00", "2023-02-29", "x", "True", " 1"}};
  const std::size_t columns = 1 + random() % 4;
  std::vector<std::size_t> kind(columns);
  std::string csv;
  for (std::size_t column = 0; column < columns; ++column) {
    kind[column] = random() % kKinds.size();
    csv += (column == 0 ? "c" : ",c") + std::to_string(column);
  }
  for (std::size_t row = random() % 6; row > 0; --row) {
    csv += "\r\n";
    for (std::size_t column = 0; column < columns; ++column) {
      const std::size_t chosen = random() % 8 == 0 ? random() % kKinds.size() : kind[column];
      const auto& values = kKinds[chosen];
      csv += (column == 0 ? "" : ",") + (random() % 6 == 0 ? "" : values[random() % values.size()]);
    }
  }
  return csv;
}

// Each field gets the narrowest type its values allow, with the empty text
// beside it where values were empty; the typed schema still matches every
// output, and is not blind to a value of another type.
TEST_F(LayoutSchemaTest, TypedSchemasMatchEveryOutput) {
  std::mt19937 random(31);
  for (int round = 0; round < 300; ++round) {
    const OutputLayout layout =
        round % 2 == 0 ? OutputLayout::Elements : OutputLayout::FieldsAsAttributes;
    ConversionSettings settings = RandomSettings(random, layout);
    settings.HasHeaderRow = true;
    const std::string csv = random() % 3 == 0 ? RandomCsv(random) : RandomTypedCsv(random);
    MemorySource source(csv);
    const InputFields fields = ReadTypedFields(source, settings);
    const std::string schema = layout == OutputLayout::Elements
                                   ? ElementLayoutSchema(fields.names, settings, &fields.values)
                                   : AttributeLayoutSchema(fields.names, settings, &fields.values);
    const std::string xml = testing::ConvertText(csv, settings);
    EXPECT_EQ(mismatch(schema, xml), std::nullopt) << "round " << round << "\n" << schema << xml;
  }
}

TEST_F(LayoutSchemaTest, ATypedSchemaRefusesAValueOfAnotherType) {
  ConversionSettings settings;
  settings.Format.escaping = Escaping::Xml;
  MemorySource source("n,d\r\n1,2024-01-31\r\n,2024-02-01\r\n");
  const InputFields fields = ReadTypedFields(source, settings);
  const std::string schema = ElementLayoutSchema(fields.names, settings, &fields.values);
  EXPECT_EQ(mismatch(schema, testing::ConvertText("n,d\r\n,2024-02-01\r\n", settings)),
            std::nullopt);
  EXPECT_NE(mismatch(schema, testing::ConvertText("n,d\r\nx,2024-02-01\r\n", settings)),
            std::nullopt);
  EXPECT_NE(mismatch(schema, testing::ConvertText("n,d\r\n1,2024-02-30\r\n", settings)),
            std::nullopt);
}

// The check is not blind: the other layout's output, or one more attribute, does not match.
TEST_F(LayoutSchemaTest, OtherShapesDoNotMatch) {
  ConversionSettings elements;
  ConversionSettings attributes;
  attributes.Layout = OutputLayout::FieldsAsAttributes;
  const std::string csv = "id,xmlns,id\r\n7,a,b\r\n";
  const std::string schema = AttributeLayoutSchema(NamesOf(csv, attributes), attributes);
  EXPECT_EQ(mismatch(schema, testing::ConvertText(csv, attributes)), std::nullopt);
  EXPECT_NE(mismatch(schema, testing::ConvertText(csv, elements)), std::nullopt);
  EXPECT_NE(mismatch(schema, testing::ConvertText("id,xmlns,id,z\r\n7,a,b,c\r\n", attributes)),
            std::nullopt);
  EXPECT_NE(mismatch(ElementLayoutSchema(NamesOf(csv, elements), elements),
                     testing::ConvertText(csv, attributes)),
            std::nullopt);
}

const std::vector<std::string> kOrderFields = {"Order ID", "Date", "Customer",
                                               "SKU",      "Qty",  "Note"};

std::string Quoted(const std::string& value) {
  std::string quoted = "\"";
  for (const char c : value) {
    quoted += c == '"' ? "\"\"" : std::string(1, c);
  }
  return quoted + "\"";
}

// A value: often a key that comes back, or empty; else awkward characters.
std::string RandomValue(std::mt19937& random) {
  static const std::vector<std::string> kPieces = {
      "",         "1", "2",  "<", "&", "\"", "\t", "\n", "\r", "]]>", "{", "\x01", "\xEF\xBF\xBE",
      "\xC3\xA9", " ", "x y"};
  std::string value;
  for (std::size_t count = random() % 3; count > 0; --count) {
    value += kPieces[random() % kPieces.size()];
  }
  return value;
}

// The fields' header and up to 7 records, in the standard format.
std::string RandomRecords(std::mt19937& random) {
  std::string csv;
  for (const std::string& name : kOrderFields) {
    csv += (csv.empty() ? "" : ",") + Quoted(name);
  }
  for (std::size_t records = random() % 8; records > 0; --records) {
    csv += "\r\n";
    for (std::size_t field = 0; field < kOrderFields.size(); ++field) {
      csv += (field == 0 ? "" : ",") + Quoted(RandomValue(random));
    }
  }
  return csv;
}

struct LoadedTemplate {
  ConversionSettings settings;
  std::string schema;
};

// The template parsed once, written from that tree and described from it.
LoadedTemplate Load(const std::string& text) {
  const TemplateTree tree = ParseTemplate(text);
  LoadedTemplate loaded;
  loaded.settings.Layout = OutputLayout::Template;
  loaded.settings.Format = CsvFormat::Standard();
  loaded.settings.Template = std::make_shared<const LayoutTemplate>(CompileTemplate(tree));
  loaded.schema = TemplateSchema(tree);
  return loaded;
}

std::string ReadExample(const std::string& name) {
  std::ifstream file(std::string(ROWVANE_EXAMPLES) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

// Templates whose schema needs each rule: the shipped example, names that
// come back (in a sequence when a validator can tell them apart, else in a
// choice), constants, mixed content, hints to the validator, no namespace.
const std::vector<std::string> kTemplates = {
    ReadExample("orders-template.xml"),
    R"(<o:list xmlns:o="urn:o" xmlns:rv="urn:rowvane:layout" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" xsi:schemaLocation="urn:o list.xsd" v="1&#9;&quot;&lt;">
  <o:head>&#169; fixed</o:head>
  <o:item rv:for-each="record" kind="k" n="{Order ID}" q="{Qty}" rv:optional="q kind">
    <o:v>{SKU}</o:v><o:v>{Note}</o:v>
    <o:p k="1">{Date}</o:p><o:w/><o:p k="1"><![CDATA[{Customer}]]></o:p>
    <o:b rv:if="{Note}">{Note}</o:b><o:b>x</o:b>
    <o:m>Note: {Note}<o:e/> and <!--c--> {Qty}<?pi d?></o:m>
  </o:item>
</o:list>)",
    R"(<?xml version="1.0"?>
<!--top-->
<r xmlns:rv="urn:rowvane:layout">
  <g rv:group-by="{Order ID}" rv:if="{Date}">
    <h rv:group-by="{Date}{Customer}" at="{Customer}">
      <i rv:for-each="record" rv:if="{SKU}" rv:optional="a" a="{Qty}"/>
    </h>
    <tail/>
  </g>
</r>
<?after this?>)"};

TEST_F(LayoutSchemaTest, EveryTemplateOutputMatchesItsSchema) {
  std::mt19937 random(2027);
  for (std::size_t index = 0; index < kTemplates.size(); ++index) {
    ASSERT_THAT(kTemplates[index], ::testing::HasSubstr("rv:for-each")) << index;
    const LoadedTemplate loaded = Load(kTemplates[index]);
    for (int round = 0; round < 40; ++round) {
      const std::string csv = RandomRecords(random);
      const std::string xml = testing::ConvertText(csv, loaded.settings);
      EXPECT_EQ(mismatch(loaded.schema, xml), std::nullopt) << "template " << index << "\n"
                                                            << loaded.schema << xml;
    }
  }
}

// Random templates in one namespace: each either matches every output, or
// is refused for siblings of one name whose content differs.
TEST_F(LayoutSchemaTest, EveryRandomTemplateOutputMatchesItsSchemaOrIsRefused) {
  std::mt19937 random(2028);
  int described = 0;
  for (int round = 0; round < 300; ++round) {
    std::string choices;
    for (std::size_t size = 30 + random() % 300; size > 0; --size) {
      choices += static_cast<char>(random() & 0xFF);
    }
    const std::string text = testing::RandomTemplate(choices, true).make(kOrderFields);
    std::optional<LoadedTemplate> loaded;
    try {
      loaded = Load(text);
    } catch (const TemplateError& error) {
      EXPECT_THAT(error.what(), ::testing::HasSubstr("differ in content")) << text;
      continue;
    }
    ++described;
    for (int input = 0; input < 3; ++input) {
      const std::string xml = testing::ConvertText(RandomRecords(random), loaded->settings);
      EXPECT_EQ(mismatch(loaded->schema, xml), std::nullopt) << text << "\n"
                                                             << loaded->schema << xml;
    }
  }
  EXPECT_GT(described, 100);
}

// The check is not blind: what the template could not have written does not match.
TEST_F(LayoutSchemaTest, WhatATemplateCannotWriteDoesNotMatch) {
  const std::string schema = Load(kTemplates[1]).schema;
  const std::string head =
      "<o:list xmlns:o=\"urn:o\" v=\"1&#9;&quot;&lt;\"><o:head>\xC2\xA9 fixed</o:head>";
  const std::string item =
      "<o:v/><o:v/><o:p k=\"1\"/><o:w/><o:p k=\"1\"/><o:b/><o:m><o:e/></o:m></o:item>";
  EXPECT_EQ(mismatch(schema, head + "<o:item n=\"\">" + item + "</o:list>"), std::nullopt);
  for (const std::string& wrong :
       {head + "<o:item n=\"\" kind=\"other\">" + item + "</o:list>",
        head + "<o:item>" + item + "</o:list>",
        std::string("<o:list xmlns:o=\"urn:o\" v=\"1\"><o:head/></o:list>"),
        head + "<o:item n=\"\"><o:v/><o:x/></o:item></o:list>"}) {
    EXPECT_NE(mismatch(schema, wrong), std::nullopt) << wrong;
  }
}

}  // namespace
}  // namespace rowvane
