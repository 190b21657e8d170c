#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/ConversionSettings.h"
#include "engine/csv/HeaderNames.h"
#include "engine/csv/RecordLayout.h"
#include "engine/xml/EscapingOutput.h"
#include "engine/xml/XmlWriter.h"

namespace rowvane {

/// The attributes layout: after the declaration and inside the document
/// element, one empty row element per record, CR LF after each, its fields
/// as attributes in header order (names from AttributeNames; header1... while
/// the names are generated). Always well-formed: values escaped for an
/// attribute, characters XML forbids as U+FFFD. Streams every value: nothing
/// of a record is held.
class AttributeLayout {
 public:
  AttributeLayout(XmlWriter& out, const ConversionSettings& settings);

  /// The writer of one record; see RecordLayout. Holds the output cursor,
  /// which the reader keeps in registers while it scans.
  class Record {
   public:
    explicit Record(AttributeLayout& layout) : m_layout(layout) { reload(); }
    [[gnu::always_inline]] void piece(std::size_t field, const char* data, std::size_t size,
                                      PieceEnd end) {
      if (field != m_field) {
        enter(field);
      }
      put(data, size);
      if (end != PieceEnd::More) {
        m_field = kNone;  // its closing quote goes out with what follows
      }
    }
    std::size_t special(std::size_t field, const char* at, std::size_t available, bool ended);

   private:
    friend class AttributeLayout;

    // Field `field`'s text: `" name="`, whose quote closes the field before
    // (for field 0 there is none, and the quote is skipped).
    [[gnu::always_inline]] void enter(std::size_t field) {
      if (field + 1 >= m_layout.m_openers.size()) {
        sync();
        m_layout.addGenerated(field);
        reload();
      }
      const std::size_t* openers = m_layout.m_openers.data();
      const std::size_t begin = openers[field] + (field == 0 ? 1 : 0);
      put(m_layout.m_texts.data() + begin, openers[field + 1] - begin);
      m_field = field;
      m_anyField = true;
    }
    [[gnu::always_inline]] void put(const char* padded, std::size_t size) {
      if (size <= kCopySlack && size <= static_cast<std::size_t>(m_limit - m_at)) {
        std::memcpy(m_at, padded, kCopySlack);
        m_at += size;
        return;
      }
      sync();
      m_layout.m_out.put(padded, size);
      reload();
    }
    void sync() { m_layout.m_out.setCursor(m_at); }
    void reload() {
      m_at = m_layout.m_out.cursor();
      m_limit = m_layout.m_out.limit();
    }

    AttributeLayout& m_layout;
    std::size_t m_field = kNone;  // the field whose value is being written
    bool m_anyField = false;      // the record has begun a field
    char* m_at = nullptr;
    char* m_limit = nullptr;
  };

  const SpecialBytes& specialBytes() const { return m_special; }
  void beginDocument();
  void headerNames(HeaderNames& names);
  void fieldCount(std::size_t) {}
  Record beginRecord(bool);
  void endRecord(Record&);
  void endDocument();
  std::uint64_t replacedCharacters() const { return m_escaping.replaced(); }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  void addOpener(std::string_view name);
  /// Generated names up to field `field`, as records need them.
  void addGenerated(std::size_t field);
  void putText(std::size_t begin, std::size_t end) {
    m_out.putPadded(m_texts.data() + begin, end - begin);
  }

  XmlWriter& m_out;
  EscapingOutput m_escaping;
  SpecialBytes m_special{};
  std::string m_documentTag;
  // Every text the records are made of, side by side and followed by
  // kCopySlack bytes: ` <row`, then per field `" name="` (a field's opening
  // joined to the closing quote of the one before), then `"/>` CR LF.
  std::string m_texts;
  std::vector<std::size_t> m_openers;  // where field i's text begins; one more ends the last
  std::size_t m_rowEnd = 0;            // where `"/>` CR LF begins
  bool m_generated = true;             // names header1..., added as records need them
};

static_assert(RecordLayout<AttributeLayout>);

}  // namespace rowvane
