#include "cli/JsonObjectLine.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "cli/JsonText.h"

namespace rowvane::cli {
namespace {

// Random valid UTF-8 with every kind of character JsonString escapes.
std::string RandomText(std::mt19937& random) {
  static const std::vector<std::string> kPieces = {
      "a", "\"", "\\", "\n", "\r", "\t", "\x01", "\x1f", "/", "é", "€", "😀", " ", "{", "}", ","};
  std::string text;
  const auto length = std::uniform_int_distribution<int>(0, 12)(random);
  std::uniform_int_distribution<std::size_t> pick(0, kPieces.size() - 1);
  for (int i = 0; i < length; ++i) {
    text += kPieces[pick(random)];
  }
  return text;
}

TEST(JsonObjectLine, ReadsBackEveryStringJsonTextWrites) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 2000; ++round) {
    const std::string key = RandomText(random);
    const std::string value = RandomText(random);
    const std::string line =
        "{" + JsonString(key) + ":" + JsonString(value) + ",\"n\":[1,{\"x\":[]},\"s\"],\"z\":null}";
    const auto members = ReadJsonObjectLine(line);
    ASSERT_TRUE(members.has_value()) << line;
    ASSERT_EQ(members->size(), 3U) << line;
    EXPECT_EQ((*members)[0].key, key);
    EXPECT_EQ((*members)[0].value.text, value);
    EXPECT_EQ((*members)[1].value.items, 3U);
    EXPECT_EQ((*members)[2].value.kind, JsonValue::Kind::Null);
  }
}

TEST(JsonObjectLine, KeepsWhatAReportReaderNeeds) {
  const auto members = ReadJsonObjectLine(
      R"( {"type":"totals","shard":"3\/8","interrupted":true,"ok":false,"files":12,)"
      R"("seconds":-0.5e+2,"u":"\u00e9\ud83d\ude00","w":[],"o":{"a":1}} )");
  ASSERT_TRUE(members.has_value());
  EXPECT_EQ(MemberNamed(*members, "shard")->text, "3/8");
  EXPECT_EQ(MemberNamed(*members, "interrupted")->kind, JsonValue::Kind::True);
  EXPECT_EQ(MemberNamed(*members, "ok")->kind, JsonValue::Kind::False);
  EXPECT_EQ(MemberNamed(*members, "files")->text, "12");
  EXPECT_EQ(MemberNamed(*members, "seconds")->text, "-0.5e+2");
  EXPECT_EQ(MemberNamed(*members, "u")->text, "é😀");
  EXPECT_EQ(MemberNamed(*members, "w")->items, 0U);
  EXPECT_EQ(MemberNamed(*members, "o")->kind, JsonValue::Kind::Object);
  EXPECT_EQ(MemberNamed(*members, "absent"), nullptr);
}

TEST(JsonObjectLine, RefusesWhatIsNotOneWholeObject) {
  const std::string deep = std::string(100, '[') + std::string(100, ']');
  for (const std::string& line : std::vector<std::string>{"",
                                                          "{",
                                                          "}",
                                                          "[]",
                                                          "\"a\"",
                                                          "{\"a\":1",
                                                          "{\"a\":1}}",
                                                          "{\"a\":1} x",
                                                          "{\"a\" 1}",
                                                          "{a:1}",
                                                          "{\"a\":01}",
                                                          "{\"a\":1.}",
                                                          "{\"a\":-}",
                                                          "{\"a\":tru}",
                                                          "{\"a\":\"\x01\"}",
                                                          "{\"a\":\"\\x\"}",
                                                          "{\"a\":\"\\ud800\"}",
                                                          "{\"a\":\"\\udc00\"}",
                                                          "{\"a\":\"\\u12\"}",
                                                          "{\"a\":[1,]}",
                                                          "{\"a\":1,}",
                                                          "{\"a\":\"cut",
                                                          "{\"a\":" + deep + "}"}) {
    EXPECT_FALSE(ReadJsonObjectLine(line).has_value()) << line;
  }
  EXPECT_TRUE(ReadJsonObjectLine("{}").has_value());
}

}  // namespace
}  // namespace rowvane::cli
