// One expression evaluated for one record, as the template writer does per
// record and per aggregate site: each row's time is per evaluation.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "engine/xml/expression/TemplateExpressions.h"

namespace rowvane {
namespace {

class RecordContext : public ExpressionContext {
 public:
  std::string_view field(std::size_t reference) const override { return values[reference]; }
  std::uint64_t position() const override { return 1; }
  std::uint64_t line() const override { return 2; }
  std::string_view item() const override { return {}; }
  std::string_view fileName() const override { return "pay.csv"; }
  std::int64_t now() const override { return 1'700'000'000; }
  ExpressionValue aggregate(std::size_t) const override { return {}; }

  std::vector<std::string_view> values;
};

struct Compiled {
  TemplateExpressions expressions;
  std::size_t expression = 0;
  RecordContext context;
};

// The expression with every field it names holding `value`.
Compiled Compile(const std::string& text, std::string_view value) {
  Compiled compiled;
  std::vector<FieldReference> fields;
  compiled.expression = compiled.expressions.compile(
      text,
      [](std::size_t) {
        return TemplatePosition{1, 1};
      },
      fields);
  compiled.context.values.assign(fields.size(), value);
  return compiled;
}

void Evaluate(benchmark::State& state, const std::string& text, std::string_view value) {
  const Compiled compiled = Compile(text, value);
  for (auto _ : state) {
    const ExpressionValue result =
        compiled.expressions.evaluate(compiled.expression, compiled.context);
    benchmark::DoNotOptimize(result.isText() ? result.text().size() : 0);
  }
}

void BM_ExpressionFormatAmount(benchmark::State& state) {
  Evaluate(state, "format(number([Amount], ',', '.'), 2)", "1.250,00");
}

void BM_ExpressionDate(benchmark::State& state) {
  Evaluate(state, "date([Date], 'DD.MM.YYYY')", "23.11.2024");
}

void BM_ExpressionCondition(benchmark::State& state) {
  Evaluate(state, "[Status] = 'failed'", "passed");
}

void BM_ExpressionIban(benchmark::State& state) {
  Evaluate(state, "replace([IBAN], ' ', '')", "DE89 3704 0044 0532 0130 00");
}

// A sum site's argument evaluated and added, per record.
void BM_ExpressionSumAccumulated(benchmark::State& state) {
  const Compiled compiled = Compile("sum(number([Amount], ',', '.'))", "1.250,00");
  AggregateAccumulator accumulator(AggregateKind::Sum);
  for (auto _ : state) {
    compiled.expressions.accumulate(0, accumulator, compiled.context);
  }
  benchmark::DoNotOptimize(accumulator.result().number().isZero());
}

BENCHMARK(BM_ExpressionFormatAmount);
BENCHMARK(BM_ExpressionDate);
BENCHMARK(BM_ExpressionCondition);
BENCHMARK(BM_ExpressionIban);
BENCHMARK(BM_ExpressionSumAccumulated);

}  // namespace
}  // namespace rowvane

BENCHMARK_MAIN();
