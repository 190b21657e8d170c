#include "engine/csv/FieldNames.h"

#include "engine/csv/DetectedEncoding.h"
#include "engine/csv/RecordReader.h"

namespace rowvane {
namespace {

/// A layout that keeps the names and writes nothing; `kTyped`: it also
/// looks at every value.
template <bool kTyped>
class NameCollector {
 public:
  // A header without records still names the fields.
  static constexpr bool kNamesWithoutRecords = true;

  class Record {
   public:
    explicit Record(NameCollector& collector) : m_collector(collector) {}
    void piece(std::size_t field, const char* data, std::size_t size, PieceEnd end) {
      if constexpr (kTyped) {
        m_collector.piece(field, std::string_view(data, size), end);
      }
    }
    std::size_t special(std::size_t, const char*, std::size_t, bool) { return 1; }

   private:
    NameCollector& m_collector;
  };

  const SpecialBytes& specialBytes() const { return m_special; }
  void beginDocument() {}
  void headerNames(HeaderNames& names) {
    if (!names.open()) {
      for (std::size_t i = 0; i < names.count(); ++i) {
        m_names.emplace_back(names.name(i));
      }
      m_values.resize(m_names.size());
    }
  }
  void fieldCount(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      m_names.push_back("header" + std::to_string(i + 1));
    }
    m_values.resize(m_names.size());
  }
  Record beginRecord(bool) { return Record(*this); }
  void endRecord(Record&) {}
  void endDocument() {}
  std::uint64_t replacedCharacters() const { return 0; }

  std::vector<std::string> take() { return std::move(m_names); }
  std::vector<FieldValues> takeValues() { return std::move(m_values); }

 private:
  // Pieces of one value gathered up to the bytes its type needs; a longer
  // value is text whatever it holds.
  void piece(std::size_t field, std::string_view bytes, PieceEnd end) {
    if (m_value.size() <= kTypedValueBytes) {
      m_value.append(bytes.substr(0, kTypedValueBytes + 1 - m_value.size()));
    }
    if (end == PieceEnd::More) {
      return;
    }
    if (field >= m_values.size()) {
      // Without a header the first record comes before its count is fixed.
      m_values.resize(field + 1);
    }
    if (m_value.size() > kTypedValueBytes) {
      m_values[field].anyValue = true;
      m_values[field].types &= Bit(ValueType::String);
    } else {
      m_values[field].take(m_value);
    }
    m_value.clear();
  }

  SpecialBytes m_special{};
  std::vector<std::string> m_names;
  std::vector<FieldValues> m_values;
  std::string m_value;
};

std::vector<std::string> NamesFrom(TextReader& reader, const ConversionSettings& settings,
                                   const ConversionTuning& tuning,
                                   std::optional<std::uint64_t> size) {
  NameCollector<false> collector;
  ConversionObserver quiet;
  ReadRecords(reader, collector, settings, quiet, tuning, size);
  return collector.take();
}

InputFields TypedFieldsFrom(TextReader& reader, const ConversionSettings& settings,
                            const ConversionTuning& tuning, std::optional<std::uint64_t> size) {
  NameCollector<true> collector;
  ConversionObserver quiet;
  ReadRecords(reader, collector, settings, quiet, tuning, size);
  InputFields fields{collector.take(), collector.takeValues()};
  fields.values.resize(fields.names.size());
  return fields;
}

}  // namespace

std::vector<std::string> ReadFieldNames(ByteSource& source, const ConversionSettings& settings,
                                        const ConversionTuning& tuning) {
  return ReadInDetectedEncoding(
      source, settings.InputEncoding, tuning,
      [&](TextReader& reader) { return NamesFrom(reader, settings, tuning, source.size()); },
      [] {});
}

InputFields ReadTypedFields(ByteSource& source, const ConversionSettings& settings,
                            const ConversionTuning& tuning) {
  return ReadInDetectedEncoding(
      source, settings.InputEncoding, tuning,
      [&](TextReader& reader) { return TypedFieldsFrom(reader, settings, tuning, source.size()); },
      [] {});
}

}  // namespace rowvane
