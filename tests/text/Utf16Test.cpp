#include <gtest/gtest.h>

#include <random>
#include <string>

#include "text/Utf16.h"
#include "text/Utf8.h"

namespace rowvane {
namespace {

TEST(Utf16, KnownTextsBothWays) {
  struct Case {
    std::string utf8;
    std::u16string utf16;
  };
  const Case cases[] = {
      {"", u""},
      {"data.csv", u"data.csv"},
      {"Zo\xC3\xAB \xE6\x9D\xB1\xE4\xBA\xAC.csv", u"Zo\u00EB \u6771\u4EAC.csv"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"\xEF\xBF\xBF", u"\uFFFF"},
      {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
  };
  for (const Case& each : cases) {
    EXPECT_EQ(Utf16FromUtf8(each.utf8), each.utf16) << each.utf8;
    EXPECT_EQ(Utf8FromUtf16(each.utf16), each.utf8) << each.utf8;
  }
}

TEST(Utf16, InvalidUtf8GivesNothing) {
  for (const std::string bad : {"\xFF", "\xC3", "\xED\xA0\x80", "a\x80z", "\xF5\x80\x80\x80"}) {
    EXPECT_EQ(Utf16FromUtf8(bad), std::nullopt) << bad;
  }
}

TEST(Utf16, LoneSurrogatesBecomeTheReplacementCharacter) {
  EXPECT_EQ(Utf8FromUtf16(u"a\xD800z"), "a\xEF\xBF\xBDz");
  EXPECT_EQ(Utf8FromUtf16(u"\xDC00"), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf8FromUtf16(std::u16string(1, u'\xD83D')), "\xEF\xBF\xBD");
}

// Any text of scalar values comes back as it was, through either form.
TEST(Utf16, RandomTextsRoundTrip) {
  std::mt19937 random(16);
  std::uniform_int_distribution<std::uint32_t> plane(0, 3);
  std::uniform_int_distribution<std::uint32_t> any(0, 0x10FFFF);
  std::uniform_int_distribution<std::uint32_t> small(0, 0x7FF);
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 12);
    for (int i = 0; i < length; ++i) {
      char32_t c = plane(random) == 0 ? any(random) : small(random);
      if (c >= 0xD800 && c <= 0xDFFF) {
        c = 0xFFFD;
      }
      AppendUtf8(c, text);
    }
    const auto utf16 = Utf16FromUtf8(text);
    ASSERT_TRUE(utf16.has_value()) << text;
    EXPECT_EQ(Utf8FromUtf16(*utf16), text);
    EXPECT_GE(utf16->size(), DecodeUtf8(text)->size());
  }
}

}  // namespace
}  // namespace rowvane
