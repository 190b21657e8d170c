#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/PaddedText.h"
#include "engine/XmlWriter.h"

namespace rowvane {

/// The opening and closing tags of a file's fields, in both indentations.
/// Names come from the header line, or are generated as header1, header2, ...
/// without being stored, so a first line of any length keeps memory flat.
class FieldTags {
 public:
  /// Generated names; the count is open until setCount().
  FieldTags() = default;
  /// The given names, in order.
  explicit FieldTags(const std::vector<std::string>& names);

  std::size_t count() const { return m_count; }
  void setCount(std::size_t count) { m_count = count; }
  bool has(std::size_t index) const { return index < m_count; }

  /// Indentation, "<", the name and ">".
  void writeOpen(XmlWriter& out, std::size_t index, bool insideRow) {
    if (index < m_tags.size()) {
      m_texts.write(out, insideRow ? m_tags[index].openInRow : m_tags[index].openInDocument);
    } else {
      writeGenerated(out, index, insideRow ? "  <" : " <", ">");
    }
  }
  /// "</", the name, ">" and a line break.
  void writeClose(XmlWriter& out, std::size_t index) {
    if (index < m_tags.size()) {
      m_texts.write(out, m_tags[index].close);
    } else {
      writeGenerated(out, index, "</", ">\r\n");
    }
  }
  /// Keeps the tags of generated names up to `index` ready, within a bound.
  void prepare(std::size_t index) {
    if (m_generated && index >= m_tags.size()) {
      prepareGenerated(index);
    }
  }

  struct Tags {
    PaddedTexts::Ref openInRow;
    PaddedTexts::Ref openInDocument;
    PaddedTexts::Ref close;
    // This field's closing tag followed by the next one's opening tag.
    PaddedTexts::Ref nextInRow;
    PaddedTexts::Ref nextInDocument;
  };
  /// Fields below this index have their tags ready in table().
  std::size_t ready() const { return std::min(m_tags.size(), m_count); }
  const Tags* table() const { return m_tags.data(); }
  const char* texts() const { return m_texts.at({}); }

 private:
  void add(std::string_view name);
  void prepareGenerated(std::size_t index);
  static void writeGenerated(XmlWriter& out, std::size_t index, std::string_view before,
                             std::string_view after);

  PaddedTexts m_texts;
  std::vector<Tags> m_tags;
  std::size_t m_count = static_cast<std::size_t>(-1);
  bool m_generated = true;
};

}  // namespace rowvane
