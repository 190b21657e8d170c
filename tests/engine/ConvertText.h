#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/batch/CsvToXml.h"

namespace rowvane::testing {

/// Converts `input` in memory, handed to the engine `chunk` bytes at a time.
/// `result`, when given, receives what the conversion gave back.
inline std::string ConvertText(const std::string& input, const ConversionSettings& settings,
                               std::size_t chunk = SIZE_MAX, ConversionResult* result = nullptr) {
  MemorySource source(input, chunk);
  MemorySink sink;
  ConversionObserver observer;
  ConversionTuning tuning;
  tuning.readChunk = chunk == SIZE_MAX ? tuning.readChunk : chunk;
  tuning.pauseInterval = std::chrono::milliseconds(0);
  const ConversionResult converted = ConvertCsvToXml(source, sink, settings, observer, tuning);
  if (result != nullptr) {
    *result = converted;
  }
  return sink.bytes();
}

/// Lines joined with CR LF, without a break after the last.
inline std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    text += lines[i];
    if (i + 1 < lines.size()) {
      text += "\r\n";
    }
  }
  return text;
}

}  // namespace rowvane::testing
