// The schema check as an output sink, fed in pieces of every size.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "engine/core/Failure.h"
#include "engine/xml/SchemaValidatingSink.h"
#include "engine/xml/XmlSchema.h"
#include "tests/support/TempDir.h"

namespace rowvane {
namespace {

const std::string kSchema =
    "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">\n"
    " <xs:element name=\"list\"><xs:complexType><xs:sequence>\n"
    "  <xs:element name=\"n\" type=\"xs:integer\" minOccurs=\"0\" maxOccurs=\"unbounded\"/>\n"
    " </xs:sequence></xs:complexType></xs:element>\n"
    "</xs:schema>\n";

struct CheckCase {
  const char* name;
  std::string document;
  std::optional<std::string> failure;  // the whole message; none when it matches
};

void PrintTo(const CheckCase& row, std::ostream* out) {
  *out << row.name;
}

class SchemaValidatingSinkTest : public ::testing::TestWithParam<CheckCase> {
 protected:
  rowvane::testing::TempDir m_temp;
  XmlSchema m_schema{m_temp.write("list.xsd", kSchema)};

  /// The verdict on `document` written in pieces of `piece` bytes, after
  /// checking that the target got every byte.
  std::optional<std::string> verdict(const std::string& document, std::size_t piece) {
    MemorySink target;
    SchemaValidatingSink sink(target, m_schema);
    for (std::size_t at = 0; at < document.size(); at += piece) {
      sink.write(document.data() + at, std::min(piece, document.size() - at));
    }
    EXPECT_EQ(target.bytes(), document);
    try {
      sink.finish();
      return std::nullopt;
    } catch (const ConversionError& error) {
      EXPECT_EQ(error.kind(), FailureKind::Schema);
      return error.what();
    }
  }
};

TEST_P(SchemaValidatingSinkTest, GivesTheSameVerdictWhateverThePieces) {
  const CheckCase& row = GetParam();
  const std::string name = m_temp / "list.xsd";
  const auto expected = row.failure ? std::optional(name + ": " + *row.failure) : std::nullopt;
  ::testing::internal::CaptureStderr();
  for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, row.document.size() + 1}) {
    EXPECT_EQ(verdict(row.document, piece), expected) << "pieces of " << piece;
  }
  // Problems are reported through the verdict alone.
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Engine, SchemaValidatingSinkTest,
    ::testing::Values(
        CheckCase{"Matches", "<?xml version=\"1.0\"?>\r\n<list>\r\n <n>1</n>\r\n</list>", {}},
        CheckCase{"EmptyList", "<list/>", {}},
        CheckCase{"FirstProblemOnly", "<list>\n<n>1</n>\n<n>x</n>\n<n>y</n>\n<n>z</n>\n</list>",
                  "line 3: Element 'n': 'x' is not a valid value of the atomic type "
                  "'xs:integer'."},
        CheckCase{"NothingCheckedAfterTheFirstProblem", "<list>\n<n>x</n>\n</wrong>\n</list>",
                  "line 2: Element 'n': 'x' is not a valid value of the atomic type "
                  "'xs:integer'."},
        CheckCase{"NotWellFormed", "<list>\n<n>1</m>\n</list>",
                  "line 2: Opening and ending tag mismatch: n line 2 and m"},
        CheckCase{"Unfinished", "<list>\n<n>1</n>\n",
                  "line 2: Extra content at the end of the document"},
        CheckCase{"Nothing", "", "line 1: Extra content at the end of the document"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_P(SchemaValidatingSinkTest, StartsOverWithTheTarget) {
  MemorySink target;
  SchemaValidatingSink sink(target, m_schema);
  const std::string abandoned = "<?xml version=\"1.0\"?>\n<list>\n<n>x</n>\n<n>";
  sink.write(abandoned.data(), abandoned.size());
  sink.discard();
  const std::string document = GetParam().document;
  sink.write(document.data(), document.size());
  EXPECT_EQ(target.bytes(), document);
  if (GetParam().failure) {
    EXPECT_THROW(sink.finish(), ConversionError);
  } else {
    EXPECT_NO_THROW(sink.finish());
  }
}

}  // namespace
}  // namespace rowvane
