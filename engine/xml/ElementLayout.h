#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/core/ConversionSettings.h"
#include "engine/csv/HeaderNames.h"
#include "engine/csv/RecordLayout.h"
#include "engine/xml/ElementTags.h"
#include "engine/xml/PaddedText.h"
#include "engine/xml/XmlEscaping.h"
#include "engine/xml/XmlWriter.h"

namespace rowvane {

/// One element per field, inside an optional row element per record, inside
/// the document element; one and two spaces of indentation, CR LF after each
/// line. `kEscaped` false: names and values are written as they stand, no
/// declaration (the classic element layout). `kEscaped` true: a declaration,
/// `& < >` and CR as entities, characters XML forbids as U+FFFD, and names
/// made into names every parser accepts (the escaped element layout).
/// Streams every value: nothing of a record is held.
template <bool kEscaped>
class ElementLayout {
 public:
  ElementLayout(XmlWriter& out, const ConversionSettings& settings, std::size_t readyNames)
      : m_out(out), m_tags(kEscaped), m_readyNames(readyNames) {
    m_documentTag = kEscaped ? FixXmlName(settings.DocumentTag, "XML") : settings.DocumentTag;
    const std::string rowTag = kEscaped ? FixXmlName(settings.RowTag, "row") : settings.RowTag;
    m_rowOpen = m_texts.add(" <" + rowTag + ">\r\n");
    m_rowClose = m_texts.add(" </" + rowTag + ">\r\n");
    if constexpr (kEscaped) {
      m_replacement = m_texts.add(kReplacementCharacter);
      for (int b = 0; b < 256; ++b) {
        const std::string_view entity = XmlEntityFor(static_cast<char>(b));
        if (!entity.empty()) {
          m_entities[b] = m_texts.add(entity);
          m_special[b] = true;
        } else if (b < 0x20 && b != '\t' && b != '\n') {
          m_entities[b] = m_replacement;
          m_special[b] = true;
        }
      }
      m_special[0xEF] = true;  // U+FFFE and U+FFFF begin with it
    }
  }

  /// The writer of one record; see RecordLayout. A field's closing tag goes
  /// out with its value's last piece, joined to the next field's opening tag.
  class Record {
   public:
    Record(ElementLayout& layout, bool rowTags)
        : m_layout(layout),
          m_out(layout.m_out),
          m_tags(layout.m_tags),
          m_rowTags(rowTags),
          m_table(m_tags.table()),
          m_next(m_tags.next(rowTags)),
          m_tagTexts(m_tags.texts()),
          m_ready(m_tags.ready()) {
      if (m_ready > 0) {
        putTag(rowTags ? m_table[0].openInRow : m_table[0].openInDocument);
      } else if (m_tags.has(0)) {
        openUnready(0);
      }
    }

    [[gnu::always_inline]] void piece(std::size_t field, const char* data, std::size_t size,
                                      PieceEnd end) {
      put(data, size);
      if (end == PieceEnd::Field) {
        if (field + 1 < m_ready) {
          putTag(m_next[field]);
        } else {
          closeUnready(field);
          openUnready(field + 1);
        }
      } else if (end == PieceEnd::Record) {
        if (field < m_ready) {
          putTag(m_table[field].close);
        } else {
          closeUnready(field);
        }
      }
    }

    std::size_t special(std::size_t, const char* at, std::size_t available, bool ended) {
      if constexpr (kEscaped) {
        const auto byte = static_cast<unsigned char>(*at);
        if (byte == 0xEF) {
          if (available < 3 && !ended) {
            return 0;
          }
          if (available >= 3 && static_cast<unsigned char>(at[1]) == 0xBF &&
              (static_cast<unsigned char>(at[2]) & 0xFE) == 0xBE) {
            putText(m_layout.m_replacement);
            ++m_replaced;
            return 3;
          }
        } else {
          const PaddedTexts::Ref entity = m_layout.m_entities[byte];
          putText(entity);
          m_replaced += entity.offset == m_layout.m_replacement.offset ? 1 : 0;
          return 1;
        }
      }
      put(at, 1);
      return 1;
    }

   private:
    friend class ElementLayout;

    [[gnu::noinline]] void closeUnready(std::size_t field) {
      m_out.sync();
      m_tags.writeClose(m_layout.m_out, field);
      m_out.reload();
    }
    [[gnu::noinline]] void openUnready(std::size_t field) {
      m_out.sync();
      m_tags.prepare(field);
      m_tags.writeOpen(m_layout.m_out, field, m_rowTags);
      m_out.reload();
      // Preparing may have made more tags ready.
      m_table = m_tags.table();
      m_next = m_tags.next(m_rowTags);
      m_tagTexts = m_tags.texts();
      m_ready = m_tags.ready();
    }
    /// Writes what ends the record, and hands the cursor back to the writer.
    void finish() {
      if (m_rowTags) {
        putText(m_layout.m_rowClose);
      }
      m_out.sync();
    }

    [[gnu::always_inline]] void putTag(PaddedTexts::Ref tag) {
      put(m_tagTexts + tag.offset, tag.size);
    }
    void putText(PaddedTexts::Ref text) { put(m_layout.m_texts.at(text), text.size); }
    [[gnu::always_inline]] void put(const char* padded, std::size_t size) {
      m_out.putPadded(padded, size);
    }

    ElementLayout& m_layout;
    WriteCursor m_out;
    ElementTags& m_tags;
    bool m_rowTags;
    // The tags' own copies would be read again after every store.
    const ElementTags::Tags* m_table;
    const PaddedTexts::Ref* m_next;
    const char* m_tagTexts;
    std::size_t m_ready;
    std::uint64_t m_replaced = 0;
  };

  const SpecialBytes& specialBytes() const { return m_special; }

  void beginDocument() {
    if constexpr (kEscaped) {
      m_out.put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n");
    }
    m_out.put("<");
    m_out.put(m_documentTag);
    m_out.put(">\r\n");
  }
  void headerNames(HeaderNames& names) { m_tags.use(names, m_readyNames); }
  void fieldCount(std::size_t) {}
  Record beginRecord(bool rowTags) {
    if (rowTags) {
      m_texts.write(m_out, m_rowOpen);
    }
    return Record(*this, rowTags);
  }
  void endRecord(Record& record) {
    record.finish();
    m_replaced += record.m_replaced;
  }
  void endDocument() {
    m_out.put("</");
    m_out.put(m_documentTag);
    m_out.put(">");
    m_out.flush();
  }
  std::uint64_t replacedCharacters() const { return m_replaced; }

 private:
  XmlWriter& m_out;
  ElementTags m_tags;
  std::size_t m_readyNames;
  std::string m_documentTag;
  PaddedTexts m_texts;
  PaddedTexts::Ref m_rowOpen;
  PaddedTexts::Ref m_rowClose;
  PaddedTexts::Ref m_replacement;
  std::array<PaddedTexts::Ref, 256> m_entities{};
  SpecialBytes m_special{};
  std::uint64_t m_replaced = 0;
};

using ClassicElementLayout = ElementLayout<false>;
using EscapedElementLayout = ElementLayout<true>;
static_assert(RecordLayout<ClassicElementLayout>);
static_assert(RecordLayout<EscapedElementLayout>);

}  // namespace rowvane
