// A random placeholder text with expressions over random records: reading it
// either compiles or tells a template error, and evaluating either gives a
// value or tells a value error, the same on every run.
// Input: the text, then after a NUL byte the records' values, split at
// 0x01 (between values) and 0x02 (between records).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/xml/TemplatePlaceholders.h"
#include "engine/xml/expression/TemplateExpressions.h"

namespace {

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t end = text.find(separator);
    parts.push_back(text.substr(0, end));
    if (end == std::string_view::npos) {
      return parts;
    }
    text.remove_prefix(end + 1);
  }
}

class FuzzContext : public rowvane::ExpressionContext {
 public:
  std::string_view field(std::size_t reference) const override {
    return values.empty() ? std::string_view() : values[reference % values.size()];
  }
  std::uint64_t position() const override { return values.size() + 1; }
  std::uint64_t line() const override { return 2 * values.size() + 2; }
  std::string_view item() const override { return values.empty() ? "" : values.front(); }
  std::string_view fileName() const override { return "in/a.csv.gz"; }
  std::int64_t now() const override { return moment; }
  rowvane::ExpressionValue aggregate(std::size_t site) const override {
    return aggregates.at(site);
  }

  std::vector<std::string_view> values;
  std::int64_t moment = 1'700'000'000;
  std::vector<rowvane::ExpressionValue> aggregates;
};

// Every expression's written value, or its error, in order.
std::string Outcome(const rowvane::TemplateExpressions& expressions,
                    const rowvane::TemplateText& segments, FuzzContext& context,
                    const std::vector<std::vector<std::string_view>>& records) {
  std::string outcome;
  try {
    context.aggregates.clear();
    for (std::size_t site = 0; site < expressions.siteCount(); ++site) {
      rowvane::AggregateAccumulator accumulator(expressions.site(site).kind);
      for (const auto& record : records) {
        context.values = record;
        expressions.accumulate(site, accumulator, context);
      }
      context.aggregates.push_back(accumulator.result());
    }
    context.values = records.front();
    for (const rowvane::TemplateSegment& segment : segments) {
      if (segment.expression != rowvane::TemplateSegment::kNone) {
        outcome += expressions.evaluate(segment.expression, context).written() + '\n';
      }
    }
  } catch (const rowvane::ExpressionValueError& error) {
    outcome += std::string("! ") + error.what();
  }
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\0');
  const std::string_view text = input.substr(0, split);
  std::vector<std::vector<std::string_view>> records;
  if (split != std::string_view::npos) {
    for (const std::string_view record : Split(input.substr(split + 1), '\x02')) {
      records.push_back(Split(record, '\x01'));
    }
  } else {
    records.push_back({});
  }
  rowvane::TemplateExpressions expressions({{"p", "v"}, {"n", "12.5"}});
  std::vector<rowvane::FieldReference> fields;
  rowvane::TemplateText segments;
  try {
    segments = rowvane::ReadPlaceholders(
        text,
        [](std::size_t offset) {
          return rowvane::TemplatePosition{1, static_cast<std::uint32_t>(offset + 1)};
        },
        fields, &expressions);
  } catch (const rowvane::TemplateError&) {
    return 0;
  }
  FuzzContext context;
  if (size >= 8) {
    std::int64_t moment = 0;
    for (std::size_t i = 0; i < 8; ++i) {
      moment =
          static_cast<std::int64_t>(static_cast<std::uint64_t>(moment) << 8 | data[size - 1 - i]);
    }
    context.moment = moment;
  }
  const std::string first = Outcome(expressions, segments, context, records);
  if (Outcome(expressions, segments, context, records) != first) {
    std::abort();  // evaluation must not depend on anything but its context
  }
  return 0;
}
