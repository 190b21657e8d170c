#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/csv/HeaderNames.h"
#include "engine/xml/PaddedText.h"
#include "engine/xml/XmlWriter.h"

namespace rowvane {

/// The opening and closing tags of a file's field elements, in both
/// indentations (inside a row element and without one). The tags of the
/// first fields are kept ready for the hot loop, within a memory bound; the
/// others are written from the names as they are needed. Generated names
/// (header1, header2, ...) are not stored, so a first line of any width keeps
/// memory flat.
class ElementTags {
 public:
  /// `fixNames`: names are made into names every XML parser accepts.
  explicit ElementTags(bool fixNames) : m_fixNames(fixNames) {}

  /// Takes the names to use, and makes the tags of at most `readyNames` of
  /// them ready. Throws std::bad_alloc.
  void use(HeaderNames& names, std::size_t readyNames);

  /// Indentation, "<", the name and ">".
  void writeOpen(XmlWriter& out, std::size_t index, bool insideRow) {
    if (index < m_tags.size()) {
      m_texts.write(out, insideRow ? m_tags[index].openInRow : m_tags[index].openInDocument);
    } else {
      writeUnready(out, index, insideRow ? "  <" : " <", ">");
    }
  }
  /// "</", the name, ">" and a line break.
  void writeClose(XmlWriter& out, std::size_t index) {
    if (index < m_tags.size()) {
      m_texts.write(out, m_tags[index].close);
    } else {
      writeUnready(out, index, "</", ">\r\n");
    }
  }
  /// True when field `index` is named (always while generated names are open).
  bool has(std::size_t index) const { return index < m_names->count(); }
  /// Keeps the tags of generated names up to `index` ready, within a bound.
  void prepare(std::size_t index) {
    if (m_names->generated() && index >= m_tags.size()) {
      prepareGenerated(index);
    }
  }

  struct Tags {
    PaddedTexts::Ref openInRow;
    PaddedTexts::Ref openInDocument;
    PaddedTexts::Ref close;
  };
  /// Fields below this index have their tags ready in table() and next().
  std::size_t ready() const { return std::min(m_tags.size(), m_names->count()); }
  const Tags* table() const { return m_tags.data(); }
  /// Per field, its closing tag followed by the next one's opening tag, in
  /// the indentation inside a row element or without one (the last field's
  /// is not ready).
  const PaddedTexts::Ref* next(bool insideRow) const {
    return insideRow ? m_nextInRow.data() : m_nextInDocument.data();
  }
  const char* texts() const { return m_texts.at({}); }

 private:
  void add(std::string_view name);
  bool fitsReady(std::size_t nameSize, std::size_t readyNames) const;
  std::string fixed(std::string_view name, std::size_t index) const;
  void prepareGenerated(std::size_t index);
  void writeUnready(XmlWriter& out, std::size_t index, std::string_view before,
                    std::string_view after);

  bool m_fixNames;
  HeaderNames* m_names = nullptr;
  PaddedTexts m_texts;
  std::vector<Tags> m_tags;
  std::vector<PaddedTexts::Ref> m_nextInRow;
  std::vector<PaddedTexts::Ref> m_nextInDocument;
};

}  // namespace rowvane
