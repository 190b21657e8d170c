#include <gtest/gtest.h>

#include <string>

#include "engine/TextDecoder.h"

namespace rowvane {
namespace {

struct ValidityCase {
  const char* name;
  std::string bytes;
  bool valid;
};

class Utf8Validity : public ::testing::TestWithParam<ValidityCase> {};

TEST_P(Utf8Validity, FollowsTheUnicodeDefinitionWhateverThePieces) {
  const ValidityCase& c = GetParam();
  Utf8Validator whole;
  EXPECT_EQ(whole.feed(c.bytes) && whole.finish(), c.valid);
  Utf8Validator byByte;
  bool ok = true;
  for (const char byte : c.bytes) {
    ok = byByte.feed(std::string_view(&byte, 1)) && ok;
  }
  EXPECT_EQ(ok && byByte.finish(), c.valid);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, Utf8Validity,
    ::testing::Values(ValidityCase{"Ascii", "plain text, 0123456789 and more than eight bytes",
                                   true},
                      ValidityCase{"TwoByte", "\xC3\xA9", true},
                      ValidityCase{"ThreeByte", "\xE2\x82\xAC", true},
                      ValidityCase{"FourByte", "\xF0\x9F\x98\x80", true},
                      ValidityCase{"HighestCodePoint", "\xF4\x8F\xBF\xBF", true},
                      ValidityCase{"AboveHighest", "\xF4\x90\x80\x80", false},
                      ValidityCase{"OverlongTwoByte", "\xC0\xAF", false},
                      ValidityCase{"OverlongC1", "\xC1\xBF", false},
                      ValidityCase{"OverlongThreeByte", "\xE0\x9F\xBF", false},
                      ValidityCase{"OverlongFourByte", "\xF0\x8F\xBF\xBF", false},
                      ValidityCase{"EncodedSurrogate", "\xED\xA0\x80", false},
                      ValidityCase{"LastBeforeSurrogates", "\xED\x9F\xBF", true},
                      ValidityCase{"LoneContinuation", "abc\x80", false},
                      ValidityCase{"TruncatedAtEnd", "abc\xE2\x82", false},
                      ValidityCase{"LeadF5", "\xF5\x80\x80\x80", false},
                      ValidityCase{"AsciiAfterLead",
                                   "\xC3"
                                   "a",
                                   false},
                      ValidityCase{"LongAsciiThenValid",
                                   std::string(64, 'a') + "\xC3\xA9" + std::string(9, 'b'), true}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

std::string Decode(Encoding encoding, const std::string& bytes, bool byteByByte) {
  TextDecoder decoder(encoding);
  std::string out;
  if (byteByByte) {
    for (const char byte : bytes) {
      decoder.decode(std::string_view(&byte, 1), out);
    }
  } else {
    decoder.decode(bytes, out);
  }
  decoder.finish(out);
  return out;
}

struct DecodeCase {
  const char* name;
  Encoding encoding;
  std::string bytes;
  std::string utf8;
};

class Decoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decoding, GivesUtf8WholeAndByteByByte) {
  const DecodeCase& c = GetParam();
  EXPECT_EQ(Decode(c.encoding, c.bytes, false), c.utf8);
  EXPECT_EQ(Decode(c.encoding, c.bytes, true), c.utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, Decoding,
    ::testing::Values(
        DecodeCase{"Cp1252Euro", Encoding::Windows1252, "\x80", "\xE2\x82\xAC"},
        DecodeCase{"Cp1252Undefined", Encoding::Windows1252, "\x81\x8D\x8F\x90\x9D",
                   "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
        DecodeCase{"Cp1252Latin1", Encoding::Windows1252, "\xE9\xFF", "\xC3\xA9\xC3\xBF"},
        DecodeCase{"Cp1252Quotes", Encoding::Windows1252, "\x93x\x94", "\xE2\x80\x9Cx\xE2\x80\x9D"},
        DecodeCase{"Utf16LeAscii", Encoding::Utf16LE, std::string("a\0b\0", 4), "ab"},
        DecodeCase{"Utf16BeAscii", Encoding::Utf16BE, std::string("\0a\0b", 4), "ab"},
        DecodeCase{"Utf16LePair", Encoding::Utf16LE, std::string("\x3D\xD8\x00\xDE", 4),
                   "\xF0\x9F\x98\x80"},
        DecodeCase{"Utf16LoneLow", Encoding::Utf16LE,
                   std::string("\x00\xDC"
                               "a\0",
                               4),
                   "\xEF\xBF\xBD"
                   "a"},
        DecodeCase{"Utf16HighThenAscii", Encoding::Utf16LE,
                   std::string("\x3D\xD8"
                               "a\0",
                               4),
                   "\xEF\xBF\xBD"
                   "a"},
        DecodeCase{"Utf16HighAtEnd", Encoding::Utf16LE, "\x3D\xD8", "\xEF\xBF\xBD"},
        DecodeCase{"Utf16OddLastByte", Encoding::Utf16LE, std::string("a\0b", 3), "a\xEF\xBF\xBD"},
        DecodeCase{"Utf16Nul", Encoding::Utf16BE, std::string("\0\0", 2), std::string(1, '\0')}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(ByteOrderMarks, AreRecognisedOnlyWhenComplete) {
  EXPECT_EQ(DetectByteOrderMark("\xFF\xFE"
                                "a")
                .encoding,
            Encoding::Utf16LE);
  EXPECT_EQ(DetectByteOrderMark("\xFF\xFE").length, 2u);
  EXPECT_EQ(DetectByteOrderMark("\xFE\xFF").encoding, Encoding::Utf16BE);
  EXPECT_EQ(DetectByteOrderMark("\xEF\xBB\xBF").length, 3u);
  EXPECT_EQ(DetectByteOrderMark("\xEF\xBB").length, 0u);
  EXPECT_EQ(DetectByteOrderMark("\xFF"
                                "a")
                .length,
            0u);  // a Windows-1252 text starting with ÿ
  EXPECT_EQ(DetectByteOrderMark("\xFE").length, 0u);
  EXPECT_EQ(DetectByteOrderMark("").length, 0u);
}

}  // namespace
}  // namespace rowvane
