// The splitter fed in random chunkings: the output must not depend on where
// the reads end.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/batch/CsvToXml.h"

namespace {

/// Hands out the input in reads whose sizes follow a given list, over and over.
class RaggedSource : public rowvane::ByteSource {
 public:
  RaggedSource(std::string bytes, std::vector<std::size_t> sizes)
      : m_bytes(std::move(bytes)), m_sizes(std::move(sizes)) {}
  std::size_t read(char* buffer, std::size_t capacity) override {
    const std::size_t wanted = m_sizes[m_next++ % m_sizes.size()];
    const std::size_t count = std::min({capacity, wanted, m_bytes.size() - m_offset});
    std::memcpy(buffer, m_bytes.data() + m_offset, count);
    m_offset += count;
    return count;
  }
  void rewind() override { m_offset = 0; }

 private:
  std::string m_bytes;
  std::vector<std::size_t> m_sizes;
  std::size_t m_next = 0;
  std::size_t m_offset = 0;
};

std::string Convert(rowvane::ByteSource& source, const rowvane::ConversionSettings& settings) {
  rowvane::MemorySink sink;
  rowvane::ConversionObserver observer;
  rowvane::ConversionTuning tuning;
  tuning.readChunk = 64;
  tuning.pauseInterval = std::chrono::milliseconds(0);
  rowvane::ConvertCsvToXml(source, sink, settings, observer, tuning);
  return sink.bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Byte 0: flags; byte 1: number of read sizes, each a following byte
  // (sizes 1 to 64); byte after them: separator length; then separator and input.
  if (size < 3) {
    return 0;
  }
  const std::uint8_t flags = data[0];
  const std::size_t sizeCount = data[1] % 8 + 1;
  std::size_t at = 2;
  std::vector<std::size_t> sizes;
  for (std::size_t i = 0; i < sizeCount && at < size; ++i, ++at) {
    sizes.push_back(data[at] % 64 + 1);
  }
  if (at >= size || sizes.empty()) {
    return 0;
  }
  const std::size_t lengthByte = data[at];
  ++at;
  const std::size_t separatorLength = std::min<std::size_t>(lengthByte % 4, size - at);
  rowvane::ConversionSettings settings;
  settings.Separator.assign(reinterpret_cast<const char*>(data) + at, separatorLength);
  at += separatorLength;
  settings.HasHeaderRow = (flags & 1) != 0;
  settings.IncludeRowTags = (flags & 2) != 0;
  if (rowvane::SettingsProblem(settings)) {
    return 0;  // refused before any conversion starts
  }
  const std::string input(reinterpret_cast<const char*>(data) + at, size - at);

  rowvane::MemorySource whole(input);
  RaggedSource ragged(input, sizes);
  if (Convert(whole, settings) != Convert(ragged, settings)) {
    std::abort();
  }
  return 0;
}
