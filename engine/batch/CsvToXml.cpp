#include "engine/batch/CsvToXml.h"

#include <algorithm>
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

ConversionResult ConvertText(TextReader& reader, XmlWriter& out, const ConversionSettings& settings,
                             ConversionObserver& observer, const ConversionTuning& tuning,
                             std::optional<std::uint64_t> inputSize) {
  if (settings.Layout == OutputLayout::Template) {
    TemplateLayout layout(out, *settings.Template);
    ConversionResult result = ReadRecords(reader, layout, settings, observer, tuning, inputSize);
    result.warnings.groupSplit = layout.split();
    return result;
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

}  // namespace

ConversionResult ConvertCsvToXml(ByteSource& source, OutputSink& sink,
                                 const ConversionSettings& settings, ConversionObserver& observer,
                                 const ConversionTuning& tuning) {
  if (const auto problem = SettingsProblem(settings)) {
    throw std::invalid_argument(std::string(*problem));
  }
  XmlWriter out(sink, WriterCapacityFor(source.size()));
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
