#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <random>
#include <string>
#include <vector>

#include "engine/csv/FieldNames.h"
#include "engine/xml/ElementLayoutTemplate.h"
#include "engine/xml/TemplateLoader.h"
#include "engine/xml/TemplateWriter.h"
#include "tests/engine/ConvertText.h"
#include "tests/support/RandomTemplate.h"

namespace rowvane {
namespace {

bool ParsesAsXml(const std::string& xml) {
  xmlDocPtr document = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "out.xml", nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  const bool parsed = document != nullptr;
  xmlFreeDoc(document);
  return parsed;
}

std::string Write(const LayoutTemplate& layout, const std::vector<std::string>& names,
                  const std::vector<std::vector<std::string>>& records, std::size_t buffer) {
  MemorySink sink;
  XmlWriter writerBuffer(sink, buffer);
  EscapingOutput out(writerBuffer);
  TemplateWriter writer(layout, out);
  writer.start(names);
  std::uint64_t line = 2;
  for (const std::vector<std::string>& record : records) {
    const std::vector<std::string_view> values(record.begin(), record.end());
    writer.record(values, line++);
  }
  writer.finish();
  return sink.bytes();
}

std::string RandomBytes(std::mt19937& random, std::size_t size) {
  std::string bytes;
  for (std::size_t i = 0; i < size; ++i) {
    bytes += static_cast<char>(random() & 0xFF);
  }
  return bytes;
}

// Any template a user may write, over any values: the output parses, and it
// does not depend on how the output is buffered.
TEST(TemplateProperties, EveryOutputIsWellFormed) {
  std::mt19937 random(19);
  const std::vector<std::string> names = {"id", "", "a b", "x{y"};
  for (int round = 0; round < 400; ++round) {
    const std::string choices = RandomBytes(random, 30 + random() % 300);
    testing::RandomTemplate generator(choices);
    const std::string text = generator.make(names);
    const LayoutTemplate layout = LoadLayoutTemplate(text);
    std::vector<std::vector<std::string>> records(random() % 6);
    for (auto& record : records) {
      for (std::size_t i = 0; i < names.size(); ++i) {
        record.push_back(generator.value());
      }
    }
    const std::string whole = Write(layout, names, records, 1 << 16);
    ASSERT_TRUE(ParsesAsXml(whole)) << text << "\n---\n" << whole;
    ASSERT_EQ(Write(layout, names, records, 1), whole) << text;
  }
}

// Names and values a header may hold under escaping (no separator, no CR LF).
std::string RandomText(std::mt19937& random) {
  static const std::vector<std::string> kPieces = {
      "a",  "Order ID", "",  "{",    "}",        "#1", "#",     "&", "<", ">", "\"",           "\r",
      "\n", "\t",       "x", "\x01", "\xC3\xA9", "1",  "xmlns", ":", "-", ".", "\xEF\xBF\xBF", "{}",
      " "};
  std::string text;
  for (std::size_t count = random() % 4; count > 0; --count) {
    text += kPieces[random() % kPieces.size()];
  }
  // A CR right before LF would end the line.
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) {
    text.erase(at, 1);
  }
  return text;
}

// The template --print-template writes gives the escaped element layout
// exactly, whatever the header's names and the reading options.
TEST(TemplateProperties, PrintedTemplateGivesTheEscapedElementLayout) {
  std::mt19937 random(20);
  for (int round = 0; round < 300; ++round) {
    ConversionSettings settings;
    settings.Format = CsvFormat::Standard();
    settings.Format.lineBreaks = random() % 2 == 0 ? LineBreaks::Any : LineBreaks::CrLf;
    settings.Separator = random() % 2 == 0 ? "," : ";";
    settings.HasHeaderRow = random() % 4 != 0;
    settings.DocumentTag = random() % 3 == 0 ? RandomText(random) : "XML";
    settings.RowTag = random() % 3 == 0 ? RandomText(random) : "row";
    std::string csv;
    for (std::size_t lines = 1 + random() % 4; lines > 0; --lines) {
      for (std::size_t fields = 1 + random() % 4; fields > 0; --fields) {
        std::string value = RandomText(random);
        for (std::size_t at = 0; (at = value.find('"', at)) != std::string::npos; at += 2) {
          value.insert(at, "\"");
        }
        csv += "\"" + value + "\"" + (fields > 1 ? settings.Separator : "\r\n");
      }
    }
    MemorySource source(csv, 7);
    const std::string printed = ElementLayoutTemplate(ReadFieldNames(source, settings), settings);
    ConversionSettings templated = settings;
    templated.Layout = OutputLayout::Template;
    templated.Template = std::make_shared<const LayoutTemplate>(LoadLayoutTemplate(printed));
    ASSERT_EQ(testing::ConvertText(csv, templated, 1 + random() % 9),
              testing::ConvertText(csv, settings))
        << printed << "\n---\n"
        << csv;
  }
}

}  // namespace
}  // namespace rowvane
