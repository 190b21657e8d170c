// A random template over random records: it must load, and whatever the
// values, its output must parse as XML.
#include <libxml/parser.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/xml/TemplateLoader.h"
#include "engine/xml/TemplateWriter.h"
#include "tests/support/RandomTemplate.h"

namespace {

bool ParsesAsXml(const std::string& xml) {
  xmlDocPtr document = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "out.xml", nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  const bool parsed = document != nullptr;
  xmlFreeDoc(document);
  return parsed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  rowvane::testing::RandomTemplate random(
      std::string_view(reinterpret_cast<const char*>(data), size));
  const std::vector<std::string> names = {"id", "", "a b", "x{y"};
  const std::string text = random.make(names);
  rowvane::LayoutTemplate layout;
  try {
    layout = rowvane::LoadLayoutTemplate(text);
  } catch (const rowvane::TemplateError& error) {
    std::fprintf(stderr, "%s\n%s\n", error.what(), text.c_str());
    std::abort();  // every template the generator makes is one a user may write
  }
  rowvane::MemorySink sink;
  rowvane::XmlWriter buffer(sink, 7);
  rowvane::EscapingOutput out(buffer);
  rowvane::TemplateWriter writer(layout, out);
  writer.start(names);
  for (std::uint64_t line = 2; !random.exhausted() && line < 64; ++line) {
    std::vector<std::string> record;
    for (std::size_t i = 0; i < names.size(); ++i) {
      record.push_back(random.value());
    }
    const std::vector<std::string_view> values(record.begin(), record.end());
    writer.record(values, line);
  }
  writer.finish();
  if (!ParsesAsXml(sink.bytes())) {
    std::fprintf(stderr, "%s\n---\n%s\n", text.c_str(), sink.bytes().c_str());
    std::abort();
  }
  return 0;
}
