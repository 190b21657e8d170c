#include "cli/DisplayEscape.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <sstream>
#include <string>

#include "text/Utf8.h"

namespace rowvane::cli {
namespace {

struct EscapeCase {
  std::string text;
  std::string shown;
};

class DisplayEscapeTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(DisplayEscapeTest, ShowsControlsAndBackslashEscaped) {
  EXPECT_EQ(EscapeForDisplay(GetParam().text), GetParam().shown);
  std::ostringstream streamed;
  WriteEscaped(streamed, GetParam().text);
  EXPECT_EQ(streamed.str(), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Names, DisplayEscapeTest,
    ::testing::Values(EscapeCase{"", ""}, EscapeCase{"plain/name.csv", "plain/name.csv"},
                      EscapeCase{"Zürich – 東京 😀.csv", "Zürich – 東京 😀.csv"},
                      EscapeCase{"a\nb\rc\td", "a\\nb\\rc\\td"},
                      EscapeCase{"back\\slash", "back\\\\slash"},
                      EscapeCase{"\\n is not a line feed", "\\\\n is not a line feed"},
                      EscapeCase{"\x1b[31mred", "\\x1b[31mred"},
                      EscapeCase{std::string("nul\0end", 7), "nul\\x00end"},
                      EscapeCase{"bell\x07 del\x7f", "bell\\x07 del\\x7f"},
                      // U+009B, a one-character escape sequence on some terminals.
                      EscapeCase{"c1\xc2\x9b"
                                 "31m",
                                 "c1\\xc2\\x9b"
                                 "31m"},
                      EscapeCase{"\xc2\xa0nbsp", "\xc2\xa0nbsp"},
                      // Not UTF-8: a lone byte, a cut sequence, an overlong form.
                      EscapeCase{"latin\xe9.csv", "latin\\xe9.csv"},
                      EscapeCase{"cut\xe6\x97", "cut\\xe6\\x97"},
                      EscapeCase{"overlong\xc0\xaf", "overlong\\xc0\\xaf"}));

// The escaped text read back by C's rules; nothing when it is not well formed.
std::optional<std::string> Unescape(const std::string& shown) {
  std::string text;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (shown[i] != '\\') {
      text += shown[i];
      continue;
    }
    if (++i == shown.size()) {
      return std::nullopt;
    }
    switch (shown[i]) {
      case '\\':
        text += '\\';
        break;
      case 'n':
        text += '\n';
        break;
      case 'r':
        text += '\r';
        break;
      case 't':
        text += '\t';
        break;
      case 'x':
        if (i + 2 >= shown.size()) {
          return std::nullopt;
        }
        text += static_cast<char>(std::stoi(shown.substr(i + 1, 2), nullptr, 16));
        i += 2;
        break;
      default:
        return std::nullopt;
    }
  }
  return text;
}

// Over random byte strings: the shown text is printable UTF-8 without any
// control, and reads back to exactly the original, so two names never look alike.
TEST(DisplayEscape, IsPrintableAndReadsBackToTheOriginal) {
  std::mt19937 random(20261207);
  const std::string pieces[] = {"a",  "\\",   "\n",       "\x1b", "\xc2\x9b", "\xc2\xa0", "é",
                                "東", "\xff", "\xe6\x97", "x",    "\x7f",     "\t",       "\\x41"};
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 12);
    for (int i = 0; i < length; ++i) {
      text += random() % 3 == 0 ? std::string(1, static_cast<char>(random() % 256))
                                : pieces[random() % std::size(pieces)];
    }
    const std::string shown = EscapeForDisplay(text);
    EXPECT_TRUE(IsValidUtf8(shown)) << shown;
    for (const char32_t point : DecodeUtf8Leniently(shown)) {
      EXPECT_FALSE(point < 0x20 || (point >= 0x7f && point < 0xa0)) << shown;
    }
    EXPECT_EQ(Unescape(shown), text) << shown;
  }
}

}  // namespace
}  // namespace rowvane::cli
