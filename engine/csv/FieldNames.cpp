#include "engine/csv/FieldNames.h"

#include "engine/csv/DetectedEncoding.h"
#include "engine/csv/RecordReader.h"

namespace rowvane {
namespace {

/// A layout that keeps the names and writes nothing.
class NameCollector {
 public:
  // A header without records still names the fields.
  static constexpr bool kNamesWithoutRecords = true;

  class Record {
   public:
    void piece(std::size_t, const char*, std::size_t, PieceEnd) {}
    std::size_t special(std::size_t, const char*, std::size_t, bool) { return 1; }
  };

  const SpecialBytes& specialBytes() const { return m_special; }
  void beginDocument() {}
  void headerNames(HeaderNames& names) {
    if (!names.open()) {
      for (std::size_t i = 0; i < names.count(); ++i) {
        m_names.emplace_back(names.name(i));
      }
    }
  }
  void fieldCount(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      m_names.push_back("header" + std::to_string(i + 1));
    }
  }
  Record beginRecord(bool) { return {}; }
  void endRecord(Record&) {}
  void endDocument() {}
  std::uint64_t replacedCharacters() const { return 0; }

  std::vector<std::string> take() { return std::move(m_names); }

 private:
  SpecialBytes m_special{};
  std::vector<std::string> m_names;
};

std::vector<std::string> NamesFrom(TextReader& reader, const ConversionSettings& settings,
                                   const ConversionTuning& tuning,
                                   std::optional<std::uint64_t> size) {
  NameCollector collector;
  ConversionObserver quiet;
  ReadRecords(reader, collector, settings, quiet, tuning, size);
  return collector.take();
}

}  // namespace

std::vector<std::string> ReadFieldNames(ByteSource& source, const ConversionSettings& settings,
                                        const ConversionTuning& tuning) {
  return ReadInDetectedEncoding(
      source, settings.InputEncoding, tuning,
      [&](TextReader& reader) { return NamesFrom(reader, settings, tuning, source.size()); },
      [] {});
}

}  // namespace rowvane
