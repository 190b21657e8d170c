#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filelist/AddFolder.h"
#include "filelist/CaseFolding.h"
#include "filelist/GatherFolderFiles.h"
#include "filelist/NameOrder.h"
#include "text/Utf8.h"

namespace rowvane {
namespace {

struct NameCase {
  std::string name;
  bool refused;
};

class HasBadCharactersTest : public testing::TestWithParam<NameCase> {};

TEST_P(HasBadCharactersTest, JudgesCodePoints) {
  EXPECT_EQ(HasBadCharacters(GetParam().name), GetParam().refused);
}

INSTANTIATE_TEST_SUITE_P(
    Names, HasBadCharactersTest,
    testing::Values(NameCase{"", false}, NameCase{"data", false}, NameCase{" spaced ", false},
                    NameCase{"tilde~", false},       // 126
                    NameCase{"caf\xC3\xA9", false},  // e acute, U+00E9
                    NameCase{"a\xE2\x80\x93"
                             "b",
                             false},                              // en dash, U+2013
                    NameCase{"\xE6\x97\xA5\xE6\x9C\xAC", false},  // CJK
                    NameCase{"\xF0\x9F\x98\x80", false},          // U+1F600, four bytes
                    NameCase{"nb\xC2\xA0sp", false},              // U+00A0, first allowed above 159
                    NameCase{"what?", true}, NameCase{"tab\t", true},
                    NameCase{std::string("nul\0", 4), true}, NameCase{"\x1F", true},
                    NameCase{"del\x7F", true},    // 127
                    NameCase{"\xC2\x80", true},   // U+0080
                    NameCase{"x\xC2\x9F", true},  // U+009F
                    // Not UTF-8: the bytes are the name, walked like any other.
                    NameCase{"caf\xE9", false},           // Latin-1
                    NameCase{"bad\xFF", false},           // never in UTF-8
                    NameCase{"\xC0\xAF", false},          // overlong "/"
                    NameCase{"\xED\xA0\x80", false},      // encoded surrogate
                    NameCase{"\xE2\x80", false},          // cut sequence
                    NameCase{"\xF4\x90\x80\x80", false},  // above U+10FFFF
                    NameCase{"\xE9?", true},              // still no "?"
                    NameCase{"\x85\x01", true}));         // nor a control character

TEST(Utf8Test, LenientDecodingKeepsEveryByte) {
  EXPECT_EQ(DecodeUtf8Leniently("a\xFF\xC3\xA9"), (std::u32string{U'a', 0xDCFF, 0xE9}));
  EXPECT_EQ(DecodeUtf8("a\xFF"), std::nullopt);
  EXPECT_EQ(DecodeUtf8("\xC3\xA9"), std::u32string{0xE9});
}

struct CaseCase {
  char32_t lower;
  char32_t upper;
};

class UpperCaseTest : public testing::TestWithParam<CaseCase> {};

TEST_P(UpperCaseTest, MapsLetters) {
  EXPECT_EQ(UpperCaseOf(GetParam().lower), GetParam().upper);
}

INSTANTIATE_TEST_SUITE_P(Letters, UpperCaseTest,
                         testing::Values(CaseCase{U'a', U'A'}, CaseCase{U'z', U'Z'},
                                         CaseCase{U'Z', U'Z'}, CaseCase{U'1', U'1'},
                                         CaseCase{U'_', U'_'}, CaseCase{0xE9, 0xC9},
                                         CaseCase{0xF7, 0xF7},    // division sign
                                         CaseCase{0xFF, 0x178},   // y diaeresis
                                         CaseCase{0x101, 0x100},  // a macron
                                         CaseCase{0x131, 0x131},  // dotless i stays
                                         CaseCase{0x142, 0x141},  // l stroke
                                         CaseCase{0x141, 0x141},  // already upper
                                         CaseCase{0x17E, 0x17D},  // z caron
                                         CaseCase{0x3C2, 0x3A3},  // final sigma
                                         CaseCase{0x3C9, 0x3A9},  // omega
                                         CaseCase{0x3AC, 0x386},  // alpha tonos
                                         CaseCase{0x44F, 0x42F},  // ya
                                         CaseCase{0x451, 0x401},  // yo
                                         CaseCase{0xFF41, 0xFF21}, CaseCase{0x1F600, 0x1F600}));

TEST(NameOrderTest, SortsWithoutRegardToCaseLikeTheDirectorySearch) {
  std::vector<std::string> names{"b.csv",
                                 "_x",
                                 "C.csv",
                                 "a.csv",
                                 "A.csv",
                                 "\xEE\x80\x80",      // U+E000
                                 "\xF0\x9F\x98\x80",  // U+1F600
                                 "bad\xFF",
                                 "B.txt",
                                 "\xC3\xA9t\xC3\xA9",
                                 "\xC3\x89T\xC3\x89S"};
  SortInPlatformOrder(names);
  // "_" follows the letters once they are upper case; U+1F600 is a surrogate
  // pair in UTF-16 and so comes before U+E000; names equal but for case fall
  // back to their bytes.
  const std::vector<std::string> expected{"A.csv",
                                          "a.csv",
                                          "b.csv",
                                          "B.txt",
                                          "bad\xFF",
                                          "C.csv",
                                          "_x",
                                          "\xC3\xA9t\xC3\xA9",
                                          "\xC3\x89T\xC3\x89S",
                                          "\xF0\x9F\x98\x80",
                                          "\xEE\x80\x80"};
  EXPECT_EQ(names, expected);
  for (std::size_t i = 0; i + 1 < expected.size(); ++i) {
    EXPECT_TRUE(PlatformNameLess(expected[i], expected[i + 1])) << i;
    EXPECT_FALSE(PlatformNameLess(expected[i + 1], expected[i])) << i;
  }
}

struct CollapseCase {
  std::string path;
  std::string entry;
};

class CollapseDoubledSeparatorsTest : public testing::TestWithParam<CollapseCase> {};

TEST_P(CollapseDoubledSeparatorsTest, OnePassLeftToRight) {
  EXPECT_EQ(CollapseDoubledSeparators(GetParam().path), GetParam().entry);
}

INSTANTIATE_TEST_SUITE_P(Paths, CollapseDoubledSeparatorsTest,
                         testing::Values(CollapseCase{"", ""}, CollapseCase{"/a/b.csv", "/a/b.csv"},
                                         CollapseCase{"//x.csv", "/x.csv"},
                                         CollapseCase{"/in//a.csv", "/in/a.csv"},
                                         CollapseCase{"/a///b", "/a//b"},
                                         CollapseCase{"////", "//"},
                                         CollapseCase{"a//b//c", "a/b/c"}));

}  // namespace
}  // namespace rowvane
