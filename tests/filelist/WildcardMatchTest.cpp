#include <gtest/gtest.h>

#include <string>

#include "filelist/WildcardMatch.h"

namespace rowvane {
namespace {

struct MatchCase {
  std::string pattern;
  std::string name;
  bool matches;
};

void PrintTo(const MatchCase& c, std::ostream* out) {
  *out << '"' << c.pattern << "\" vs \"" << c.name << '"';
}

class WildcardMatchTest : public testing::TestWithParam<MatchCase> {};

TEST_P(WildcardMatchTest, MatchesLikeTheDirectorySearch) {
  EXPECT_EQ(MatchesWildcard(GetParam().pattern, GetParam().name), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, WildcardMatchTest,
    testing::Values(MatchCase{"*.csv", "a.csv", true}, MatchCase{"*.csv", "b.CSV", true},
                    MatchCase{"*.CSV", "b.csv", true}, MatchCase{"*.csv", ".csv", true},
                    MatchCase{"*.csv", "a.b.csv", true}, MatchCase{"*.csv", "a.csv.txt", false},
                    MatchCase{"*.csv", "a.csvx", false}, MatchCase{"*.csv", "csv", false},
                    MatchCase{"*.csv", "acsv", false}, MatchCase{"data.csv", "DATA.CSV", true},
                    MatchCase{"data.csv", "data.cs", false},
                    // "*.*" takes every name, also one without a dot.
                    MatchCase{"*.*", "a.b", true}, MatchCase{"*.*", "README", true},
                    MatchCase{"*.*", ".hidden", true}, MatchCase{"x.*", "x", true},
                    MatchCase{"x.*", "x.", true}, MatchCase{"x.*", "xy", false},
                    MatchCase{"a*.*", "abc", true}, MatchCase{"a*.*", "xbc", false},
                    MatchCase{"*", "anything at all", true}, MatchCase{"*", "", true},
                    MatchCase{"", "", true}, MatchCase{"", "a", false}, MatchCase{"?", "", false},
                    MatchCase{"?.csv", "a.csv", true}, MatchCase{"?.csv", "ab.csv", false},
                    MatchCase{"a*b*c", "aXbYc", true}, MatchCase{"a*b*c", "aXbY", false},
                    MatchCase{"**a", "ba", true}, MatchCase{"*a*", "bbb", false},
                    MatchCase{"a?c*", "abcdef", true},
                    // Case is ignored beyond ASCII too; "?" takes one code point.
                    MatchCase{"\xC3\x89*",
                              "\xC3\xA9"
                              "cole",
                              true},                                           // É* / école
                    MatchCase{"\xD0\x96*", "\xD0\xB6\xD1\x83\xD0\xBA", true},  // Ж* / жук
                    MatchCase{"?", "\xC3\xA9", true}, MatchCase{"??", "\xC3\xA9", false},
                    MatchCase{"?", "\xF0\x9F\x98\x80", true},
                    // Bytes that are not UTF-8 match themselves, "?" and "*".
                    MatchCase{"*", "bad\xFF", true}, MatchCase{"bad?", "bad\xFF", true},
                    MatchCase{"bad\xFF", "bad\xFF", true}, MatchCase{"bad\xFE", "bad\xFF", false},
                    MatchCase{"*.csv", "\xFF.csv", true}));

TEST(WildcardMatchLimits, ManyStarsStayFast) {
  const std::string name(5000, 'a');
  std::string pattern;
  for (int i = 0; i < 200; ++i) {
    pattern += "*a";
  }
  EXPECT_FALSE(MatchesWildcard(pattern + "b", name));
  EXPECT_TRUE(MatchesWildcard(pattern, name));
}

}  // namespace
}  // namespace rowvane
