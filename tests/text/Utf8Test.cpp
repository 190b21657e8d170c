#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <unordered_set>

#include "text/Utf8.h"
#include "text/Utf8Validator.h"

namespace rowvane {
namespace {

// Valid UTF-8 by its definition: the encodings of the Unicode scalar values,
// made by AppendUtf8 (checked against known bytes below), as keys.
std::uint64_t Key(const std::string& bytes) {
  std::uint64_t key = bytes.size();
  for (const char byte : bytes) {
    key = (key << 8U) | static_cast<unsigned char>(byte);
  }
  return key;
}

std::unordered_set<std::uint64_t> ScalarValueEncodings() {
  std::unordered_set<std::uint64_t> keys;
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    if (c < 0xD800 || c > 0xDFFF) {
      std::string bytes;
      AppendUtf8(c, bytes);
      keys.insert(Key(bytes));
    }
  }
  return keys;
}

TEST(Utf8, AppendsKnownEncodings) {
  const std::pair<char32_t, std::string> rows[] = {
      {U'A', "A"}, {0xE9, "\xC3\xA9"}, {0x20AC, "\xE2\x82\xAC"}, {0x1F600, "\xF0\x9F\x98\x80"}};
  for (const auto& [c, bytes] : rows) {
    std::string out;
    AppendUtf8(c, out);
    EXPECT_EQ(out, bytes);
  }
}

// Valid text by the definition: characters end to end (the encodings are
// prefix-free, so at most one length fits at each place).
bool SplitsIntoCharacters(std::string_view bytes, const std::unordered_set<std::uint64_t>& valid) {
  while (!bytes.empty()) {
    std::size_t length = 1;
    while (length <= bytes.size() && !valid.contains(Key(std::string(bytes.substr(0, length))))) {
      ++length;
    }
    if (length > bytes.size()) {
      return false;
    }
    bytes.remove_prefix(length);
  }
  return true;
}

// Every string of one or two bytes, every one of three that starts above
// ASCII, and random ones of four are judged as the definition says, by the
// reader of one character, the readers of whole strings and the validator
// fed in pieces alike.
TEST(Utf8, EveryShortSequenceIsJudgedByTheDefinition) {
  const std::unordered_set<std::uint64_t> valid = ScalarValueEncodings();
  const auto check = [&](const std::string& bytes) {
    const Utf8Character character = NextUtf8Character(bytes);
    const bool isCharacter = valid.contains(Key(bytes));
    ASSERT_EQ(character.length == bytes.size(), isCharacter) << std::hex << Key(bytes);
    const bool isText = SplitsIntoCharacters(bytes, valid);
    ASSERT_EQ(IsValidUtf8(bytes), isText) << std::hex << Key(bytes);
    ASSERT_EQ(DecodeUtf8(bytes).has_value(), isText);
    Utf8Validator validator;
    ASSERT_EQ(
        validator.feed(bytes.substr(0, 1)) && validator.feed(bytes.substr(1)) && validator.finish(),
        isText);
    if (isCharacter) {
      std::string again;
      AppendUtf8(character.value, again);
      ASSERT_EQ(again, bytes);
    }
  };
  for (std::uint32_t n = 0; n < (1U << 16); ++n) {
    const std::string two{static_cast<char>(n >> 8), static_cast<char>(n)};
    check(two);
    check(two.substr(1));
    for (std::uint32_t lead = 0x80; lead <= 0xFF; ++lead) {
      check(static_cast<char>(lead) + two);
    }
  }
  std::mt19937 random(7);
  for (int i = 0; i < 500'000; ++i) {
    const auto n = static_cast<std::uint32_t>(random());
    check({static_cast<char>(0xF0 | ((n >> 24) & 0x0F)), static_cast<char>(n >> 16),
           static_cast<char>(n >> 8), static_cast<char>(n)});
  }
}

// A byte that starts no character stands for itself, leniently, and only there.
TEST(Utf8, LenientDecodingCarriesEachStrayByte) {
  EXPECT_EQ(DecodeUtf8Leniently("a\xFF\xC3\xA9\xE2\x82"),
            (std::u32string{U'a', 0xDCFF, 0xE9, 0xDCE2, 0xDC82}));
  EXPECT_EQ(DecodeUtf8("a\xE2\x82"), std::nullopt);
  EXPECT_EQ(DecodeUtf8("\xF0\x9F\x98\x80z"), (std::u32string{0x1F600, U'z'}));
}

}  // namespace
}  // namespace rowvane
