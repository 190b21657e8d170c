#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/csv/TextDecoder.h"
#include "tests/engine/ConvertText.h"

namespace rowvane {
namespace {

// A plain whole-text model of the layout, written independently of the
// streaming engine, to compare against on random inputs and chunkings.
std::vector<std::string> Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> pieces;
  if (text.empty()) {
    return pieces;
  }
  if (separator.empty()) {
    return {text};
  }
  std::size_t start = 0;
  for (;;) {
    const auto found = text.find(separator, start);
    if (found == std::string::npos) {
      pieces.push_back(text.substr(start));
      return pieces;
    }
    pieces.push_back(text.substr(start, found - start));
    start = found + separator.size();
  }
}

std::string DecodeWhole(const std::string& bytes) {
  Utf8Validator validator;
  if (validator.feed(bytes) && validator.finish()) {
    return bytes;
  }
  TextDecoder decoder(Encoding::Windows1252);
  std::string text;
  decoder.decode(bytes, text);
  return text;
}

std::string ModelConversion(const std::string& bytes, const ConversionSettings& s) {
  std::vector<std::string> lines = Split(DecodeWhole(bytes), "\r\n");
  if (!lines.empty() && lines.back().empty()) {
    lines.pop_back();  // the empty text after a final line break
  }
  std::vector<std::string> names;
  std::vector<std::string> records;
  if (s.HasHeaderRow) {
    if (!lines.empty()) {
      names = Split(lines.front(), s.Separator);
      for (std::size_t i = 1; i < lines.size(); ++i) {
        if (lines[i] != lines.front()) {
          records.push_back(lines[i]);
        }
      }
    }
  } else if (!lines.empty()) {
    for (std::size_t i = 1; i <= Split(lines.front(), s.Separator).size(); ++i) {
      names.push_back("header" + std::to_string(i));
    }
    records = lines;
  }
  std::string out = "<" + s.DocumentTag + ">\r\n";
  for (const std::string& line : records) {
    std::vector<std::string> values = {line};
    if (!s.Separator.empty() && line.find(s.Separator) != std::string::npos) {
      values = Split(line, s.Separator);
    }
    values.resize(std::max(values.size(), names.size()));
    if (s.IncludeRowTags) {
      out += " <" + s.RowTag + ">\r\n";
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
      out += std::string(s.IncludeRowTags ? "  <" : " <") + names[i] + ">" + values[i] + "</" +
             names[i] + ">\r\n";
    }
    if (s.IncludeRowTags) {
      out += " </" + s.RowTag + ">\r\n";
    }
  }
  return out + "</" + s.DocumentTag + ">";
}

TEST(ReferenceModel, StreamingAgreesWithTheWholeTextModel) {
  const std::vector<std::string> pieces = {"a",    "b",        ",",    ";",   "\r", "\n", "\r\n",
                                           "\r\n", "\xC3\xA9", "\xE9", "x y", "ab", "a,b"};
  const std::vector<std::string> separators = {",",   ";",  "",     "ab",      "\r",
                                               "a\r", ",,", "\r\n", "\xC3\xA9"};
  std::mt19937 random(20261207);
  for (int round = 0; round < 3000; ++round) {
    std::string input;
    const int count = static_cast<int>(random() % 30);
    for (int i = 0; i < count; ++i) {
      input += pieces[random() % pieces.size()];
    }
    ConversionSettings settings;
    settings.Separator = separators[random() % separators.size()];
    settings.HasHeaderRow = random() % 2 == 0;
    settings.IncludeRowTags = random() % 2 == 0;
    const std::string expected = ModelConversion(input, settings);
    for (const std::size_t chunk : {std::size_t{1}, std::size_t{3}, SIZE_MAX}) {
      ASSERT_EQ(testing::ConvertText(input, settings, chunk), expected)
          << "input '" << input << "' separator '" << settings.Separator << "' header "
          << settings.HasHeaderRow << " chunk " << chunk;
    }
  }
}

TEST(ReferenceModel, HeaderNamesPastTheReadyTagsAgreeWithTheModel) {
  // Few ready tags and tiny split steps send wide headers through the names
  // taken from the header line, and put separators across the steps.
  const std::vector<std::string> pieces = {"a", "b", ",", ",", ";", "\r", "\r\n", "ab", "\xC3\xA9"};
  const std::vector<std::string> separators = {",", ";", "", "ab", "a\r", ",,", "\xC3\xA9"};
  std::mt19937 random(20261208);
  for (int round = 0; round < 2000; ++round) {
    std::string input;
    const int count = static_cast<int>(random() % 40);
    for (int i = 0; i < count; ++i) {
      input += pieces[random() % pieces.size()];
    }
    ConversionSettings settings;
    settings.Separator = separators[random() % separators.size()];
    settings.IncludeRowTags = random() % 2 == 0;
    ConversionTuning tuning;
    tuning.pauseInterval = std::chrono::milliseconds(0);
    tuning.readyHeaderNames = random() % 4;
    tuning.headerSplitStep = random() % 5;
    tuning.readChunk = random() % 2 == 0 ? 1 : 3;
    MemorySource source(input, tuning.readChunk);
    MemorySink sink;
    ConversionObserver observer;
    ConvertCsvToXml(source, sink, settings, observer, tuning);
    ASSERT_EQ(sink.bytes(), ModelConversion(input, settings))
        << "input '" << input << "' separator '" << settings.Separator << "' ready "
        << tuning.readyHeaderNames << " step " << tuning.headerSplitStep;
  }
}

}  // namespace
}  // namespace rowvane
