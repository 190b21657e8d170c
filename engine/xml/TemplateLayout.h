#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/csv/HeaderNames.h"
#include "engine/csv/RecordLayout.h"
#include "engine/xml/EscapingOutput.h"
#include "engine/xml/GroupPlan.h"
#include "engine/xml/HeldRecord.h"
#include "engine/xml/LayoutTemplate.h"
#include "engine/xml/SortedRecords.h"
#include "engine/xml/TemplateWriter.h"
#include "engine/xml/XmlWriter.h"

namespace rowvane {

/// How a template that reads its input twice (LayoutTemplate::readsTwice)
/// takes part in one of the reads.
struct TemplateReading {
  enum class Pass { Only, Planning, Writing };
  /// Only: the one read of a template that needs no plan. Planning: the first
  /// read, which fills `plan` and writes nothing. Writing: the second, which
  /// writes by `plan`.
  Pass pass = Pass::Only;
  GroupPlan* plan = nullptr;
  /// Bytes of records sorted in memory when they are not in group order;
  /// more go to sorted runs in `temporaryFolder` (empty: $TMPDIR or /tmp).
  std::size_t sortMemory = std::size_t{24} << 20;
  std::string temporaryFolder;
  /// What the template's expressions know of the input.
  TemplateInput input;
};

/// A user's template as a layout. Nothing is written before the fields'
/// names are known and every field the template names is found among them.
/// A template whose records are one run of constants and values in field
/// order (TemplateWriter::streamableRecord) streams its values as they are
/// read; any other holds each record whole (up to HeldRecord::kMostBytes)
/// and writes it through a TemplateWriter.
class TemplateLayout {
 public:
  TemplateLayout(XmlWriter& out, const LayoutTemplate& layout, TemplateReading reading = {});

  /// The writer or collector of one record; see RecordLayout.
  class Record {
   public:
    explicit Record(TemplateLayout& layout)
        : m_layout(layout), m_streaming(layout.m_streaming), m_out(layout.m_escaping.writer()) {}
    [[gnu::always_inline]] void piece(std::size_t field, const char* data, std::size_t size,
                                      PieceEnd) {
      if (!m_streaming) {
        m_layout.m_held.appendPadded(field, data, size);
        return;
      }
      if (field != m_field) {
        enter(field);
      }
      if (m_place) {
        m_out.putPadded(data, size);  // the reader keeps special bytes out of pieces
      }
    }
    std::size_t special(std::size_t field, const char* at, std::size_t available, bool ended);

   private:
    friend class TemplateLayout;
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    // The constants before field `field`'s value, and where that value goes.
    [[gnu::always_inline]] void enter(std::size_t field) {
      const StreamField& entered = m_layout.m_streamFields[field];
      m_out.putPadded(m_layout.m_streamTexts.data() + entered.begin, entered.size);
      m_place = entered.place;
      m_field = field;
    }
    void finish();

    TemplateLayout& m_layout;
    bool m_streaming;
    std::size_t m_field = kNone;
    std::optional<ValuePlace> m_place;
    WriteCursor m_out;  // streaming only
  };

  /// The reader hands over a header's names even when no record follows, so
  /// the template is checked against them all the same.
  static constexpr bool kNamesWithoutRecords = true;

  /// Bytes escaping may change, found by the reader's search for free: the
  /// values without them are copied as they stand.
  const SpecialBytes& specialBytes() const { return m_special; }
  void beginDocument() {}
  void headerNames(HeaderNames& names);
  void fieldCount(std::size_t count);
  /// Where the next record begins, for the messages that name lines.
  void recordLine(std::uint64_t line) { m_nextLine = line; }
  Record beginRecord(bool);
  void endRecord(Record& record);
  void endDocument();
  std::uint64_t replacedCharacters() const { return m_escaping.replaced(); }

 private:
  /// Streaming: what entering a field writes (m_streamTexts[begin, begin +
  /// size)) and where its value goes (none: the template does not use it).
  struct StreamField {
    std::size_t begin = 0;
    std::size_t size = 0;
    std::optional<ValuePlace> place;
  };

  void start(std::vector<std::string> names);
  void planStreaming(const TemplateProgram& program);
  void place(std::span<const std::string_view> values);

  TemplateReading m_reading;
  EscapingOutput m_escaping;
  TemplateWriter m_writer;
  std::unique_ptr<SortedRecords> m_sorted;  // the second read of records not in group order
  std::vector<std::string> m_keys;
  SpecialBytes m_special{};
  HeldRecord m_held;
  std::size_t m_count = 0;
  std::uint64_t m_nextLine = 0;
  bool m_streamable = false;
  bool m_namesPending = false;  // an empty header line, until a record follows it
  bool m_streaming = false;
  std::vector<StreamField> m_streamFields;  // one per field, then the record's end
  std::string m_streamTexts;                // followed by kCopySlack bytes
};

static_assert(RecordLayout<TemplateLayout>);

}  // namespace rowvane
