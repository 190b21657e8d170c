#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <ostream>
#include <random>
#include <string>

#include "engine/csv/TextDecoder.h"
#include "tests/engine/ConvertText.h"

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
  std::uint64_t utf16Replacements = 0;  // ill-formed UTF-16 counted
};

class Decoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decoding, GivesUtf8WholeAndByteByByte) {
  const DecodeCase& c = GetParam();
  EXPECT_EQ(Decode(c.encoding, c.bytes, false), c.utf8);
  EXPECT_EQ(Decode(c.encoding, c.bytes, true), c.utf8);
  TextDecoder counting(c.encoding);
  std::string out;
  counting.decode(c.bytes, out);
  counting.finish(out);
  EXPECT_EQ(counting.utf16Replacements(), c.utf16Replacements);
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
                   "a",
                   1},
        DecodeCase{"Utf16HighThenAscii", Encoding::Utf16LE,
                   std::string("\x3D\xD8"
                               "a\0",
                               4),
                   "\xEF\xBF\xBD"
                   "a",
                   1},
        DecodeCase{"Utf16HighAtEnd", Encoding::Utf16LE, "\x3D\xD8", "\xEF\xBF\xBD", 1},
        DecodeCase{"Utf16OddLastByte", Encoding::Utf16LE, std::string("a\0b", 3), "a\xEF\xBF\xBD",
                   1},
        DecodeCase{"Utf16OddByteAfterCrLfStartsNoLine", Encoding::Utf16LE,
                   std::string("a\0\r\0\n\0b", 7), "a\r\n", 1},
        DecodeCase{"Utf16OddByteAfterLfStartsNoLine", Encoding::Utf16BE, std::string("\0a\0\nb", 5),
                   "a\n", 1},
        DecodeCase{"Utf16OddByteAlone", Encoding::Utf16LE, "b", "", 1},
        DecodeCase{"Utf16LoneSurrogatesAndOddByte", Encoding::Utf16LE,
                   std::string("\x00\xDC\x00\xDC\r\0\n\0b", 9), "\xEF\xBF\xBD\xEF\xBF\xBD\r\n", 3},
        DecodeCase{"Utf16Nul", Encoding::Utf16BE, std::string("\0\0", 2), std::string(1, '\0')},
        DecodeCase{"Utf8Valid", Encoding::Utf8, "a\xC3\xA9\xF0\x9F\x98\x80",
                   "a\xC3\xA9\xF0\x9F\x98\x80"},
        DecodeCase{"Utf8StrayByte", Encoding::Utf8, "a\x80z\xFF", "a\xEF\xBF\xBDz\xEF\xBF\xBD"},
        DecodeCase{"Utf8BrokenOffStart", Encoding::Utf8,
                   "\xE2\x82"
                   "a",
                   "\xEF\xBF\xBD"
                   "a"},
        DecodeCase{"Utf8BadSecondByte", Encoding::Utf8, "\xF0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        DecodeCase{"Utf8Surrogate", Encoding::Utf8, "\xED\xA0\x80",
                   "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        DecodeCase{"Utf8TruncatedAtEnd", Encoding::Utf8, "a\xF0\x9F\x98", "a\xEF\xBF\xBD"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// A plain reference for repairing UTF-8, one position at a time: a complete
// character is copied; otherwise the longest start that Utf8Validator still
// accepts (at least one byte) becomes one U+FFFD.
std::string RepairUtf8Reference(std::string_view bytes, std::uint64_t& replacements) {
  std::string out;
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t complete = 0;
    std::size_t start = 0;
    for (std::size_t length = 1; length <= 4 && at + length <= bytes.size(); ++length) {
      Utf8Validator validator;
      if (!validator.feed(bytes.substr(at, length))) {
        break;
      }
      start = length;
      if (validator.finish()) {
        complete = length;
        break;
      }
    }
    if (complete > 0) {
      out.append(bytes.substr(at, complete));
      at += complete;
    } else {
      out.append("\xEF\xBF\xBD");
      ++replacements;
      at += std::max<std::size_t>(start, 1);
    }
  }
  return out;
}

TEST(Utf8Repair, MatchesTheReferenceInPiecesOfAnySize) {
  // Bytes that make up UTF-8 structure, so broken and whole characters both come up often.
  const std::string alphabet =
      "a\x80\x8F\x90\x9F\xA0\xBF\xC2\xC3\xDF\xE0\xE2\xED\xEF\xF0\xF4\xF5\xFF";
  std::mt19937 random(12);
  for (int round = 0; round < 3000; ++round) {
    std::string bytes;
    const auto length = std::uniform_int_distribution<std::size_t>(0, 12)(random);
    for (std::size_t i = 0; i < length; ++i) {
      bytes.push_back(
          alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)]);
    }
    std::uint64_t expectedReplacements = 0;
    const std::string expected = RepairUtf8Reference(bytes, expectedReplacements);
    const std::size_t piece = std::uniform_int_distribution<std::size_t>(1, 5)(random);
    TextDecoder decoder(Encoding::Utf8);
    std::string out;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
      decoder.decode(std::string_view(bytes).substr(at, piece), out);
    }
    decoder.finish(out);
    ASSERT_EQ(out, expected) << ::testing::PrintToString(bytes) << " in pieces of " << piece;
    ASSERT_EQ(decoder.utf8Replacements(), expectedReplacements) << ::testing::PrintToString(bytes);
  }
}

struct FixedEncodingCase {
  const char* name;
  std::optional<Encoding> encoding;
  std::string bytes;
  std::string text;  // the one field's text in the output
};

void PrintTo(const FixedEncodingCase& row, std::ostream* out) {
  *out << row.name;
}

class FixedEncoding : public ::testing::TestWithParam<FixedEncodingCase> {};

TEST_P(FixedEncoding, ReadsTheInputInThatEncoding) {
  const FixedEncodingCase& c = GetParam();
  ConversionSettings settings;
  settings.HasHeaderRow = false;
  settings.Separator = "";
  settings.InputEncoding = c.encoding;
  const std::string expected =
      "<XML>\r\n <row>\r\n  <header1>" + c.text + "</header1>\r\n </row>\r\n</XML>";
  for (const std::size_t chunk : {std::size_t{1}, std::size_t{2}, SIZE_MAX}) {
    EXPECT_EQ(testing::ConvertText(c.bytes, settings, chunk), expected) << "chunk " << chunk;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, FixedEncoding,
    ::testing::Values(FixedEncodingCase{"AutoFallsBackToWindows1252", std::nullopt, "\xC3\xA9\xFF",
                                        "\xC3\x83\xC2\xA9\xC3\xBF"},
                      FixedEncodingCase{"Utf8RepairsInsteadOfFallingBack", Encoding::Utf8,
                                        "\xC3\xA9\xFF", "\xC3\xA9\xEF\xBF\xBD"},
                      FixedEncodingCase{"Utf8SkipsItsMark", Encoding::Utf8,
                                        "\xEF\xBB\xBF"
                                        "a",
                                        "a"},
                      FixedEncodingCase{"Utf8ReadsAnotherMarkAsText", Encoding::Utf8,
                                        "\xFF\xFE"
                                        "a",
                                        "\xEF\xBF\xBD\xEF\xBF\xBD"
                                        "a"},
                      FixedEncodingCase{"Windows1252ReadsValidUtf8AsIs", Encoding::Windows1252,
                                        "\xC3\xA9", "\xC3\x83\xC2\xA9"},
                      FixedEncodingCase{"Windows1252KeepsAUtf8Mark", Encoding::Windows1252,
                                        "\xEF\xBB\xBF"
                                        "a",
                                        "\xC3\xAF\xC2\xBB\xC2\xBF"
                                        "a"},
                      FixedEncodingCase{"Utf16LeWithoutMark", Encoding::Utf16LE,
                                        std::string("a\0\xE9\0", 4), "a\xC3\xA9"},
                      FixedEncodingCase{"Utf16LeSkipsItsMark", Encoding::Utf16LE,
                                        std::string("\xFF\xFE"
                                                    "a\0",
                                                    4),
                                        "a"},
                      FixedEncodingCase{"Utf16BeWithoutMark", Encoding::Utf16BE,
                                        std::string("\0a\0b", 4), "ab"}),
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
