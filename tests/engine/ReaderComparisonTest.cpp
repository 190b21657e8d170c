// The record reader against the two conversions it replaces, byte for byte,
// on random inputs in every mix of format choices and on the fuzz corpora.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/CsvToXml.h"

namespace rowvane {
namespace {

struct Outcome {
  std::string xml;
  ConversionWarnings warnings;
  std::uint64_t records = 0;
  bool operator==(const Outcome&) const = default;
};

template <class Convert>
Outcome Run(Convert convert, const std::string& input, const ConversionSettings& settings,
            std::size_t chunk, std::size_t readyNames, std::size_t splitStep) {
  MemorySource source(input, chunk);
  MemorySink sink;
  ConversionObserver observer;
  ConversionTuning tuning;
  tuning.readChunk = chunk;
  tuning.pauseInterval = std::chrono::milliseconds(0);
  tuning.readyHeaderNames = readyNames;
  tuning.headerSplitStep = splitStep;
  const ConversionResult result = convert(source, sink, settings, observer, tuning);
  return {sink.bytes(), result.warnings, result.records};
}

void ExpectSame(const std::string& input, const ConversionSettings& settings, std::size_t chunk,
                std::size_t readyNames, std::size_t splitStep) {
  const Outcome before = Run([](auto&... args) { return ConvertCsvToXmlBefore(args...); }, input,
                             settings, chunk, readyNames, splitStep);
  const Outcome after = Run([](auto&... args) { return ConvertCsvToXml(args...); }, input, settings,
                            chunk, readyNames, splitStep);
  ASSERT_EQ(after.xml, before.xml)
      << "input '" << input << "' separator '" << settings.Separator << "' header "
      << settings.HasHeaderRow << " format " << int(settings.Format.lineBreaks)
      << int(settings.Format.quotes) << int(settings.Format.escaping) << " chunk " << chunk
      << " ready " << readyNames;
  ASSERT_EQ(after.warnings, before.warnings) << "input '" << input << "'";
  ASSERT_EQ(after.records, before.records) << "input '" << input << "'";
}

const std::vector<std::string> kSeparators = {",",   ";",    "",    "ab",   "\r", "a\r",
                                              "\",", "\"",   ",\"", "\r\n", "\n", "\xC3\xA9",
                                              "\t",  "\"\"", ",,",  "\r\r", "a"};

ConversionSettings RandomSettings(std::mt19937& random) {
  static const std::vector<std::string> tags = {"XML", "", "a b", "1r", "\xC3\xA9:x", "row"};
  ConversionSettings settings;
  settings.Separator = kSeparators[random() % kSeparators.size()];
  settings.HasHeaderRow = random() % 3 != 0;
  settings.IncludeRowTags = random() % 2 == 0;
  settings.DocumentTag = tags[random() % tags.size()];
  settings.RowTag = tags[random() % tags.size()];
  const unsigned choice = random() % 8;
  settings.Format = {(choice & 1) != 0 ? LineBreaks::Any : LineBreaks::CrLf,
                     (choice & 2) != 0 ? Quotes::Double : Quotes::None,
                     (choice & 4) != 0 ? Escaping::Xml : Escaping::None};
  return settings;
}

TEST(ReaderComparison, RandomInputsInEveryFormatAndChunking) {
  const std::vector<std::string> pieces = {
      "a",    "b",    "\"",   "\"\"", ",",        ";",      "\r",           "\n",
      "\r\n", "\r\n", "\r\n", "\"",   "\xC3\xA9", "\xE9",   "\xEF\xBF\xBE", "&<>",
      "\x01", " ",    "1",    "a,b",  "\t",       "\"",     "\xE2\x82\xAC", "\xEF\xBF\xBD",
      "ab",   "a\r",  ",,",   "\xEF", "\xEF\xBF", "\r\r\n", "a,b\r\n"};
  std::mt19937 random(20261207);
  for (int round = 0; round < 40000; ++round) {
    std::string input;
    const int count = static_cast<int>(random() % 40);
    for (int i = 0; i < count; ++i) {
      input += pieces[random() % pieces.size()];
    }
    const ConversionSettings settings = RandomSettings(random);
    const std::size_t readyNames = std::vector<std::size_t>{65536, 2, 0}[random() % 3];
    const std::size_t splitStep = random() % 2 == 0 ? std::size_t{1} << 18 : 3;
    for (const std::size_t chunk : {1, 2, 3, 7, 4096}) {
      ExpectSame(input, settings, chunk, readyNames, splitStep);
      if (::testing::Test::HasFatalFailure()) {
        return;
      }
    }
  }
}

TEST(ReaderComparison, FuzzCorporaInEveryFormatAndChunking) {
  std::size_t files = 0;
  for (const char* target : {"chunking", "convert", "standard", "decode"}) {
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(ROWVANE_FUZZ_CORPUS) + "/" + target)) {
      std::ifstream in(entry.path(), std::ios::binary);
      std::stringstream bytes;
      bytes << in.rdbuf();
      ++files;
      std::mt19937 random(static_cast<unsigned>(files));
      for (int round = 0; round < 60; ++round) {
        const ConversionSettings settings = RandomSettings(random);
        for (const std::size_t chunk : {1, 2, 3, 7, 4096}) {
          ExpectSame(bytes.str(), settings, chunk, 65536, std::size_t{1} << 18);
          if (::testing::Test::HasFatalFailure()) {
            return;
          }
        }
      }
    }
  }
  EXPECT_GT(files, 10U);
}

}  // namespace
}  // namespace rowvane
