// Throughput of the conversion core, from memory into a sink that only counts.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/batch/CsvToXml.h"
#include "engine/core/ConversionObserver.h"
#include "engine/core/ConversionSettings.h"
#include "engine/io/ByteSource.h"
#include "engine/io/OutputSink.h"

namespace rowvane {
namespace {

constexpr std::size_t kInputBytes = std::size_t{16} << 20;

class CountingSink : public OutputSink {
 public:
  void write(const char* data, std::size_t size) override {
    benchmark::DoNotOptimize(data);
    m_count += size;
  }
  void discard() override { m_count = 0; }
  std::uint64_t count() const { return m_count; }

 private:
  std::uint64_t m_count = 0;
};

// Ten columns: a header line, then rows of short numbers and words, the same
// for every run (a fixed linear congruential sequence).
std::string MakeCsv(std::string_view separator, std::size_t bytes) {
  constexpr std::array<std::string_view, 8> kWords = {"apple",  "Bob",  "north", "x",
                                                      "closed", "blue", "Zo",    "ready"};
  std::string csv;
  csv.reserve(bytes + 256);
  const std::array<std::string_view, 10> header = {"id",   "name", "city", "qty", "price",
                                                   "code", "flag", "note", "day", "count"};
  for (std::size_t column = 0; column < header.size(); ++column) {
    csv.append(column == 0 ? "" : separator).append(header[column]);
  }
  std::uint32_t state = 12345;
  const auto next = [&state] {
    state = state * 1103515245U + 12345U;
    return state >> 8;
  };
  while (csv.size() < bytes) {
    csv.append("\r\n");
    for (std::size_t column = 0; column < header.size(); ++column) {
      if (column > 0) {
        csv.append(separator);
      }
      if (column % 2 == 0) {
        csv.append(std::to_string(next() % 100000));
      } else {
        csv.append(kWords[next() % kWords.size()]);
      }
    }
  }
  return csv;
}

// The same rows with every field quoted; one field in eight holds the
// separator, one in sixteen a line break, and one in thirty-two a doubled quote.
std::string MakeQuotedCsv(std::size_t bytes) {
  const std::string plain = MakeCsv(",", bytes);
  std::string csv;
  csv.reserve(plain.size() * 3 / 2);
  std::size_t field = 0;
  std::size_t start = 0;
  while (start <= plain.size()) {
    const std::size_t end = plain.find_first_of(",\r", start);
    const std::size_t stop = end == std::string::npos ? plain.size() : end;
    csv.append("\"").append(plain, start, stop - start);
    if (field % 8 == 3) {
      csv.append(", more");
    }
    if (field % 16 == 5) {
      csv.append("\r\nnext line");
    }
    if (field % 32 == 7) {
      csv.append(" \"\"quoted\"\"");
    }
    csv.append("\"");
    ++field;
    if (end == std::string::npos) {
      break;
    }
    const std::size_t after = plain[end] == ',' ? end + 1 : end + 2;
    csv.append(plain, end, after - end);
    start = after;
  }
  return csv;
}

void ConvertRepeatedly(benchmark::State& state, const std::string& csv,
                       const ConversionSettings& settings) {
  MemorySource source(csv);
  CountingSink sink;
  ConversionObserver observer;
  for (auto _ : state) {
    source.rewind();
    sink.discard();
    ConvertCsvToXml(source, sink, settings, observer);
    benchmark::DoNotOptimize(sink.count());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(csv.size()));
  state.counters["out/in"] = static_cast<double>(sink.count()) / static_cast<double>(csv.size());
}

void BM_Defaults(benchmark::State& state) {
  static const std::string csv = MakeCsv(",", kInputBytes);
  ConvertRepeatedly(state, csv, ConversionSettings{});
}

void BM_NoHeaderNoRowTags(benchmark::State& state) {
  static const std::string csv = MakeCsv(",", kInputBytes);
  ConversionSettings settings;
  settings.HasHeaderRow = false;
  settings.IncludeRowTags = false;
  ConvertRepeatedly(state, csv, settings);
}

void BM_TwoCharacterSeparator(benchmark::State& state) {
  static const std::string separator = "; ";
  static const std::string csv = MakeCsv(separator, kInputBytes);
  ConversionSettings settings;
  settings.Separator = separator;
  ConvertRepeatedly(state, csv, settings);
}

// The standard format (any line break, quotes, escaping) against the classic
// one on the same input: the first on plain rows, the second on quoted ones.
ConversionSettings Standard() {
  ConversionSettings settings;
  settings.Format = CsvFormat::Standard();
  return settings;
}

void BM_StandardFormat(benchmark::State& state) {
  static const std::string csv = MakeCsv(",", kInputBytes);
  ConvertRepeatedly(state, csv, Standard());
}

void BM_QuoteHeavyClassic(benchmark::State& state) {
  static const std::string csv = MakeQuotedCsv(kInputBytes);
  ConvertRepeatedly(state, csv, ConversionSettings{});
}

void BM_QuoteHeavyStandard(benchmark::State& state) {
  static const std::string csv = MakeQuotedCsv(kInputBytes);
  ConvertRepeatedly(state, csv, Standard());
}

BENCHMARK(BM_Defaults)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StandardFormat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuoteHeavyClassic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuoteHeavyStandard)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NoHeaderNoRowTags)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TwoCharacterSeparator)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace rowvane

BENCHMARK_MAIN();
