// The types of a field's values, column by column.
#include "engine/csv/ValueTypes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/csv/FieldNames.h"
#include "engine/io/ByteSource.h"

namespace rowvane {
namespace {

struct ColumnCase {
  std::vector<std::string> values;
  const char* type;  // as the printed schema names it
};

std::string TypeOf(const std::vector<std::string>& column) {
  FieldValues values;
  for (const std::string& value : column) {
    values.take(value);
  }
  const ValueType type = values.type();
  const std::string name(SchemaTypeName(type));
  return type != ValueType::String && values.anyEmpty ? name + " or empty" : name;
}

TEST(ValueTypesTest, ColumnsGetTheNarrowestTypeOfAllTheirValues) {
  const ColumnCase kCases[] = {
      {{"1", "22", "-3", "0"}, "xs:integer"},
      {{"007"}, "xs:string"},
      {{"-0"}, "xs:string"},
      {{"+1"}, "xs:string"},
      {{"1e5"}, "xs:string"},
      {{"1E5", "2"}, "xs:string"},
      {{"1.5", "2"}, "xs:decimal"},
      {{"-0.5"}, "xs:decimal"},
      {{"0.0"}, "xs:decimal"},
      {{"1."}, "xs:string"},
      {{".5"}, "xs:string"},
      {{"1.250,00"}, "xs:string"},
      {{"true", "false"}, "xs:boolean"},
      {{"True"}, "xs:string"},
      {{"1", "true"}, "xs:string"},
      {{"2024-02-29", "0001-01-01", "9999-12-31"}, "xs:date"},
      {{"2023-02-29"}, "xs:string"},
      {{"1900-02-29"}, "xs:string"},
      {{"2000-02-29"}, "xs:date"},
      {{"0000-01-01"}, "xs:string"},
      {{"2024-13-01"}, "xs:string"},
      {{"2024-04-31"}, "xs:string"},
      {{"23.11.2024"}, "xs:string"},
      {{"2024-11-23T23:25:57"}, "xs:dateTime"},
      {{"2024-11-23T23:25:57.125Z", "2024-11-23T23:25:57-05:00"}, "xs:dateTime"},
      {{"2024-11-23T23:25:57+14:00"}, "xs:dateTime"},
      {{"2024-11-23T23:25:57+14:30"}, "xs:string"},
      {{"2024-11-23T23:25:57."}, "xs:string"},
      {{"2024-11-23 23:25:57"}, "xs:string"},
      {{"2024-11-23T24:00:00"}, "xs:string"},
      {{"2024-11-23", "2024-11-23T10:00:00"}, "xs:string"},
      {{"1", ""}, "xs:integer or empty"},
      {{"", "2024-01-01", ""}, "xs:date or empty"},
      {{"", ""}, "xs:string"},
      {{}, "xs:string"},
      {{" 1"}, "xs:string"},
  };
  for (const ColumnCase& row : kCases) {
    std::string shown;
    for (const std::string& value : row.values) {
      shown += "'" + value + "' ";
    }
    EXPECT_EQ(TypeOf(row.values), row.type) << shown;
  }
}

// Values reach the types in pieces as the reader finds them; a value past
// what is looked at is text, and a short record's missing values are empty.
TEST(ValueTypesTest, TheWholeInputIsLookedAtInAnyChunking) {
  const std::string longNumber(kTypedValueBytes + 1, '7');
  const std::string csv = "a,b,c\r\n1," + longNumber + ",x\r\n22,5\r\n";
  for (const std::size_t chunk : {std::size_t{1}, std::size_t{7}, csv.size()}) {
    MemorySource source(csv, chunk);
    ConversionSettings settings;
    const InputFields fields = ReadTypedFields(source, settings);
    ASSERT_EQ(fields.values.size(), 3u);
    EXPECT_EQ(fields.values[0].type(), ValueType::Integer) << chunk;
    EXPECT_EQ(fields.values[1].type(), ValueType::String) << chunk;
    EXPECT_EQ(fields.values[2].type(), ValueType::String) << chunk;
    EXPECT_TRUE(fields.values[2].anyEmpty) << chunk;
    // Without a header, the first record is typed too.
    settings.HasHeaderRow = false;
    MemorySource again(csv, chunk);
    const InputFields generated = ReadTypedFields(again, settings);
    ASSERT_EQ(generated.values.size(), 3u);
    EXPECT_EQ(generated.values[0].type(), ValueType::String) << chunk;
    settings.HasHeaderRow = true;
  }
}

}  // namespace
}  // namespace rowvane
