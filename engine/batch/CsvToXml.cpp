#include "engine/batch/CsvToXml.h"

#include <algorithm>
#include <ctime>
#include <optional>
#include <stdexcept>
#include <string>

#include "engine/csv/DetectedEncoding.h"
#include "engine/csv/RecordReader.h"
#include "engine/csv/TextReader.h"
#include "engine/xml/AttributeLayout.h"
#include "engine/xml/ElementLayout.h"
#include "engine/xml/TemplateLayout.h"
#include "engine/xml/XmlWriter.h"
#include "engine/xml/expression/TemplateExpressions.h"

namespace rowvane {
namespace {

/// A small input gets a small output buffer: the output is a few times the
/// input, and a large buffer costs more to set up than a small file takes.
std::size_t WriterCapacityFor(std::optional<std::uint64_t> inputSize) {
  constexpr std::size_t kLargest = std::size_t{1} << 18;
  constexpr std::size_t kSmallest = std::size_t{1} << 12;
  if (!inputSize || *inputSize >= kLargest / 4) {
    return kLargest;
  }
  return std::max(kSmallest, static_cast<std::size_t>(*inputSize) * 4);
}

// Progress of one of a conversion's two reads as its share of the whole.
class ReadShare : public ConversionObserver {
 public:
  ReadShare(ConversionObserver& whole, double from) : m_whole(whole), m_from(from) {}
  void onInputOpened(std::uint64_t size) override { m_whole.onInputOpened(size); }
  void onProgress(double share) override { m_whole.onProgress(m_from + share / 2); }
  void onPause() override { m_whole.onPause(); }
  PauseAnswer pauseAnswer() const override { return m_whole.pauseAnswer(); }
  const LiveOptions* liveOptions() const override { return m_whole.liveOptions(); }

 private:
  ConversionObserver& m_whole;
  double m_from;
};

TemplateReading ReadingFor(TemplateReading::Pass pass, GroupPlan* plan,
                           const ConversionSettings& settings, const ConversionTuning& tuning) {
  TemplateReading reading;
  reading.pass = pass;
  reading.plan = plan;
  reading.sortMemory = tuning.templateSortMemory;
  reading.temporaryFolder = tuning.temporaryFolder;
  reading.input.fileName = tuning.inputName;
  reading.input.now = settings.FixedNow.value_or(static_cast<std::int64_t>(std::time(nullptr)));
  return reading;
}

// Per scope of a template (the input, then each group level), the kinds of
// its aggregates in the order of their slots.
std::vector<std::vector<AggregateKind>> AggregatesOf(const LayoutTemplate& layout) {
  std::vector<std::vector<AggregateKind>> kinds(layout.groupLevels() + 1);
  for (std::size_t site = 0; site < layout.siteScope.size(); ++site) {
    const std::uint32_t scope = layout.siteScope[site];
    kinds[scope == LayoutTemplate::kDocumentScope ? 0 : scope + 1].push_back(
        layout.expressions->site(site).kind);
  }
  return kinds;
}

ConversionResult ConvertText(TextReader& reader, XmlWriter& out, const ConversionSettings& settings,
                             ConversionObserver& observer, const ConversionTuning& tuning,
                             std::optional<std::uint64_t> inputSize) {
  if (settings.Layout == OutputLayout::Template) {
    TemplateLayout layout(out, *settings.Template,
                          ReadingFor(TemplateReading::Pass::Only, nullptr, settings, tuning));
    return ReadRecords(reader, layout, settings, observer, tuning, inputSize);
  }
  if (settings.Layout == OutputLayout::FieldsAsAttributes) {
    AttributeLayout layout(out, settings);
    return ReadRecords(reader, layout, settings, observer, tuning, inputSize);
  }
  if (settings.Format.escaping == Escaping::Xml) {
    EscapedElementLayout layout(out, settings, tuning.readyHeaderNames);
    return ReadRecords(reader, layout, settings, observer, tuning, inputSize);
  }
  ClassicElementLayout layout(out, settings, tuning.readyHeaderNames);
  return ReadRecords(reader, layout, settings, observer, tuning, inputSize);
}

// The second read of a template that needs a plan: the same text again, in the
// encoding the first read settled on, written by the plan.
ConversionResult WriteByPlan(ByteSource& source, XmlWriter& out, GroupPlan& plan, bool fallback,
                             const ConversionSettings& settings, ConversionObserver& observer,
                             const ConversionTuning& tuning, const TemplateReading& planned) {
  source.rewind();
  TextReader reader(source, tuning.readChunk, fallback, settings.InputEncoding);
  ReadShare second(observer, 0.5);
  TemplateReading reading = planned;
  reading.pass = TemplateReading::Pass::Writing;
  reading.plan = &plan;
  TemplateLayout layout(out, *settings.Template, reading);
  ConversionResult result = ReadRecords(reader, layout, settings, second, tuning, source.size());
  result.warnings.utf8Replacements = reader.utf8Replacements();
  result.warnings.utf16Replacements = reader.utf16Replacements();
  return result;
}

// A template that gathers groups or counts before it writes reads the input
// twice: first to find its groups (and their aggregates), writing nothing,
// then to write them.
ConversionResult ConvertByPlan(ByteSource& source, XmlWriter& out,
                               const ConversionSettings& settings, ConversionObserver& observer,
                               const ConversionTuning& tuning) {
  const LayoutTemplate& layoutTemplate = *settings.Template;
  std::vector<bool> byKey;
  for (std::size_t level = 0; level < layoutTemplate.groupLevels(); ++level) {
    byKey.push_back(layoutTemplate.levels[level].byKey);
  }
  std::optional<GroupPlan> plan;
  bool fallback = tuning.textNotUtf8;
  ReadShare first(observer, 0.0);
  // Both reads see the same moment, taken once.
  TemplateReading reading = ReadingFor(TemplateReading::Pass::Planning, nullptr, settings, tuning);
  const bool stopped = ReadInDetectedEncoding(
      source, settings.InputEncoding, tuning,
      [&](TextReader& reader) {
        plan.emplace(byKey, AggregatesOf(layoutTemplate));
        reading.plan = &*plan;
        TemplateLayout planning(out, layoutTemplate, reading);
        return ReadRecords(reader, planning, settings, first, tuning, source.size()).stopped;
      },
      [&] { fallback = true; });
  if (stopped) {
    ConversionResult result;
    result.stopped = true;
    return result;
  }
  return WriteByPlan(source, out, *plan, fallback, settings, observer, tuning, reading);
}

}  // namespace

ConversionResult ConvertCsvToXml(ByteSource& source, OutputSink& sink,
                                 const ConversionSettings& settings, ConversionObserver& observer,
                                 const ConversionTuning& tuning) {
  if (const auto problem = SettingsProblem(settings)) {
    throw std::invalid_argument(std::string(*problem));
  }
  XmlWriter out(sink, WriterCapacityFor(source.size()));
  if (settings.Layout == OutputLayout::Template && settings.Template->readsTwice()) {
    return ConvertByPlan(source, out, settings, observer, tuning);
  }
  return ReadInDetectedEncoding(
      source, settings.InputEncoding, tuning,
      [&](TextReader& reader) {
        ConversionResult result =
            ConvertText(reader, out, settings, observer, tuning, source.size());
        // Only a fixed UTF-8 repairs, and only UTF-16 replaces: the counts
        // of the other readings stay 0.
        result.warnings.utf8Replacements = reader.utf8Replacements();
        result.warnings.utf16Replacements = reader.utf16Replacements();
        return result;
      },
      [&] {
        out.reset();
        sink.discard();
      });
}

}  // namespace rowvane

namespace rowvane {

bool TextIsUtf8(ByteSource& source, std::size_t chunk) {
  try {
    TextReader reader(source, chunk, false);
    while (reader.more()) {
      reader.consume(reader.available());
    }
    return true;
  } catch (const NotUtf8&) {
    return false;
  }
}

}  // namespace rowvane
