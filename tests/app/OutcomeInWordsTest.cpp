#include "app/handlers/OutcomeInWords.h"

#include <gtest/gtest.h>

namespace rowvane::app {
namespace {

// Each counted warning is said once its count is not zero, in the singular
// for one and the plural for more, and never when nothing was counted.
TEST(OutcomeInWordsTest, CountedWarningsAreSaidWithTheirCountAndNumber) {
  const struct {
    std::uint64_t ConversionWarnings::*count;
    const char* one;
    const char* two;
  } rows[] = {
      {&ConversionWarnings::replacedCharacters,
       "1 character that XML does not allow written as U+FFFD.",
       "2 characters that XML does not allow written as U+FFFD."},
      {&ConversionWarnings::utf8Replacements, "1 ill-formed UTF-8 sequence written as U+FFFD.",
       "2 ill-formed UTF-8 sequences written as U+FFFD."},
      {&ConversionWarnings::utf16Replacements,
       "1 ill-formed UTF-16 unit written as U+FFFD or left out.",
       "2 ill-formed UTF-16 units written as U+FFFD or left out."},
      {&ConversionWarnings::droppedValues, "1 value past the last named field not written.",
       "2 values past the last named field not written."},
  };
  EXPECT_TRUE(WarningsInWords(ConversionWarnings{}).isEmpty());
  for (const auto& row : rows) {
    for (const std::uint64_t count : {1, 2}) {
      ConversionWarnings warnings;
      warnings.*row.count = count;
      EXPECT_EQ(WarningsInWords(warnings),
                QStringList{QString::fromUtf8(count == 1 ? row.one : row.two)});
    }
  }
}

}  // namespace
}  // namespace rowvane::app
