#include <gtest/gtest.h>

#include "app/desktop/ApplicationTitle.h"

namespace rowvane::app {
namespace {

struct TitleCase {
  const char* productName;
  const char* title;
};

class ApplicationTitleTest : public ::testing::TestWithParam<TitleCase> {};

TEST_P(ApplicationTitleTest, CutsAtTheLastBlankOnceAndWhileLongerThan40) {
  EXPECT_EQ(ApplicationTitleFrom(QString::fromUtf8(GetParam().productName)),
            QString::fromUtf8(GetParam().title));
}

INSTANTIATE_TEST_SUITE_P(Names, ApplicationTitleTest,
                         ::testing::Values(
                             // No blank: nothing to cut.
                             TitleCase{"Rowvane", "Rowvane"},
                             // The first cut happens even when short.
                             TitleCase{"Rowvane Converter", "Rowvane"},
                             TitleCase{"Quick CSV To XML", "Quick CSV To"},
                             // Cut again while longer than 40 characters.
                             TitleCase{"Alpha Beta Gamma Delta Epsilon Zeta Eta Theta Iota",
                                       "Alpha Beta Gamma Delta Epsilon Zeta Eta"},
                             // Exactly 40 after the first cut: no second cut.
                             TitleCase{"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa tail",
                                       "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"},
                             // Still too long but no blank left: it stays.
                             TitleCase{"abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz end",
                                       "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz"},
                             // A trailing blank is the last blank.
                             TitleCase{"Rowvane ", "Rowvane"}, TitleCase{"", ""}));

}  // namespace
}  // namespace rowvane::app
