// A whole conversion with options taken from the input: the output must not
// depend on how the input is cut into reads.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) {
    return 0;
  }
  // Byte 0: flags and chunk size; byte 1: separator length; then the separator and the input.
  const std::uint8_t flags = data[0];
  const std::size_t separatorLength = data[1] % 4;
  if (size < 2 + separatorLength) {
    return 0;
  }
  rowvane::ConversionSettings settings;
  settings.Separator.assign(reinterpret_cast<const char*>(data) + 2, separatorLength);
  settings.HasHeaderRow = (flags & 1) != 0;
  settings.IncludeRowTags = (flags & 2) != 0;
  settings.DocumentTag = (flags & 4) != 0 ? "" : "XML";
  if (rowvane::SettingsProblem(settings)) {
    return 0;  // refused before any conversion starts
  }
  const std::string input(reinterpret_cast<const char*>(data) + 2 + separatorLength,
                          size - 2 - separatorLength);
  const std::size_t chunk = (flags >> 3) % 13 + 1;
  if (Convert(input, settings, input.size() + 1) != Convert(input, settings, chunk)) {
    std::abort();
  }
  return 0;
}
