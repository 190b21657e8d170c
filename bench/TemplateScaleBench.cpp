// How the template work grows with the number of fields and placeholders:
// each row should be linear (benchmark's fitted complexity says "N").
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "engine/Conversion.h"
#include "engine/Files.h"
#include "engine/Layouts.h"

namespace rowvane {
namespace {

std::vector<std::string> FieldNames(std::size_t count) {
  std::vector<std::string> names;
  names.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    names.push_back("f" + std::to_string(i));
  }
  return names;
}

// --print-template for a header of N fields.
void BM_PrintTemplateFields(benchmark::State& state) {
  const auto names = FieldNames(static_cast<std::size_t>(state.range(0)));
  ConversionSettings settings;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ElementLayoutTemplate(names, settings));
  }
  state.SetComplexityN(state.range(0));
}

// Loading a template whose one text holds N placeholders (300,000 make 1 MiB).
void BM_LoadTemplatePlaceholders(benchmark::State& state) {
  std::string text = "<d xmlns:rv=\"urn:rowvane:layout\"><r rv:for-each=\"record\">";
  for (std::int64_t i = 0; i < state.range(0); ++i) {
    text += "{a}";
  }
  text += "</r></d>";
  for (auto _ : state) {
    benchmark::DoNotOptimize(LoadLayoutTemplate(text));
  }
  state.SetComplexityN(state.range(0));
}

// Converting one record through a template of 1,000 named placeholders with
// a header of N fields, the named ones last.
void BM_TemplateFieldLookup(benchmark::State& state) {
  const auto names = FieldNames(static_cast<std::size_t>(state.range(0)));
  std::string text = "<d xmlns:rv=\"urn:rowvane:layout\"><r rv:for-each=\"record\">";
  for (std::size_t i = 0; i < 1000; ++i) {
    text += "{" + names[names.size() - 1 - i] + "}";
  }
  text += "</r></d>";
  ConversionSettings settings;
  settings.Layout = OutputLayout::Template;
  settings.Format.escaping = Escaping::Xml;
  settings.Template = std::make_shared<const LayoutTemplate>(LoadLayoutTemplate(text));
  std::string csv;
  for (std::size_t i = 0; i < names.size(); ++i) {
    csv += (i == 0 ? "" : ",") + names[i];
  }
  csv += "\r\n1\r\n";
  for (auto _ : state) {
    MemorySource source(csv);
    MemorySink sink;
    ConversionObserver observer;
    benchmark::DoNotOptimize(ConvertCsvToXml(source, sink, settings, observer).records);
  }
  state.SetComplexityN(state.range(0));
}

BENCHMARK(BM_PrintTemplateFields)
    ->RangeMultiplier(10)
    ->Range(10'000, 1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_LoadTemplatePlaceholders)
    ->RangeMultiplier(4)
    ->Range(20'000, 320'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_TemplateFieldLookup)
    ->RangeMultiplier(10)
    ->Range(1'000, 1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace
}  // namespace rowvane

BENCHMARK_MAIN();
