// A conversion with any choice of line breaks, quotes and escaping, options
// taken from the input: the output must not depend on how the input is cut
// into reads, and with escaping it must parse as XML.
#include <libxml/parser.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/batch/CsvToXml.h"

namespace {

std::string Convert(const std::string& input, const rowvane::ConversionSettings& settings,
                    std::size_t chunk) {
  rowvane::MemorySource source(input, chunk);
  rowvane::MemorySink sink;
  rowvane::ConversionObserver observer;
  rowvane::ConversionTuning tuning;
  tuning.readChunk = chunk;
  tuning.pauseInterval = std::chrono::milliseconds(0);
  rowvane::ConvertCsvToXml(source, sink, settings, observer, tuning);
  return sink.bytes();
}

bool ParsesAsXml(const std::string& xml) {
  xmlDocPtr document = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "out.xml", nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  const bool parsed = document != nullptr;
  xmlFreeDoc(document);
  return parsed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) {
    return 0;
  }
  // Byte 0: flags; byte 1: chunk size; byte 2: separator length; then the
  // separator, then tag names up to a NUL byte, then the input.
  const std::uint8_t flags = data[0];
  const std::size_t chunk = data[1] % 13 + 1;
  const std::size_t separatorLength = data[2] % 4;
  if (size < 3 + separatorLength) {
    return 0;
  }
  rowvane::ConversionSettings settings;
  settings.Separator.assign(reinterpret_cast<const char*>(data) + 3, separatorLength);
  settings.HasHeaderRow = (flags & 1) != 0;
  settings.IncludeRowTags = (flags & 2) != 0;
  settings.Format.lineBreaks =
      (flags & 4) != 0 ? rowvane::LineBreaks::Any : rowvane::LineBreaks::CrLf;
  settings.Format.quotes = (flags & 8) != 0 ? rowvane::Quotes::Double : rowvane::Quotes::None;
  settings.Format.escaping = (flags & 16) != 0 ? rowvane::Escaping::Xml : rowvane::Escaping::None;
  if (rowvane::SettingsProblem(settings)) {
    return 0;  // refused before any conversion starts
  }
  std::string rest(reinterpret_cast<const char*>(data) + 3 + separatorLength,
                   size - 3 - separatorLength);
  if ((flags & 32) != 0) {
    const std::size_t nul = rest.find('\0');
    settings.DocumentTag = rest.substr(0, nul);
    settings.RowTag = settings.DocumentTag;
    rest.erase(0, nul == std::string::npos ? rest.size() : nul + 1);
  }
  const std::string whole = Convert(rest, settings, rest.size() + 1);
  if (whole != Convert(rest, settings, chunk)) {
    std::abort();
  }
  if (settings.Format.escaping == rowvane::Escaping::Xml && !ParsesAsXml(whole)) {
    std::abort();
  }
  return 0;
}
