// The schemas printed for the layouts: every output the layout writes, for
// any input and options, matches the schema printed for its names.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/AttributeLayoutSchema.h"
#include "engine/ElementLayoutSchema.h"
#include "engine/Failure.h"
#include "engine/FieldNames.h"
#include "engine/SchemaValidatingSink.h"
#include "engine/XmlSchema.h"
#include "tests/engine/ConvertText.h"
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

}  // namespace
}  // namespace rowvane
