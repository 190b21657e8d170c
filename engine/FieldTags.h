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
/// Header names are kept once, inside the header line as it was read; the
/// tags of the first fields are kept ready for the hot loop, within a memory
/// bound, and the others are written from the line as they are needed.
/// Generated names (header1, header2, ...) are not stored, so a first line of
/// any length keeps memory flat.
class FieldTags {
 public:
  /// Generated names; the count is open until setCount().
  FieldTags() = default;
  /// The names in the header `line`, between the occurrences of `separator`;
  /// the tags of at most `readyNames` of them are kept ready. Nothing is split
  /// before split().
  FieldTags(std::string line, std::string_view separator, std::size_t readyNames);

  /// Splits the header line a step of about `step` bytes further; true once
  /// it is split (at once for generated names), when count() is known.
  /// Throws std::bad_alloc.
  bool split(std::size_t step);
  /// True once split() has returned true.
  bool isSplit() const { return m_split; }
  /// The header line; empty for generated names.
  std::string_view line() const { return m_line; }

  std::size_t count() const { return m_count; }
  void setCount(std::size_t count) { m_count = count; }
  bool has(std::size_t index) const { return index < m_count; }

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
  /// A name in the header line: its index and where it begins and ends.
  struct Name {
    std::size_t index = 0;
    std::size_t begin = 0;
    std::size_t end = 0;
  };

  void add(std::string_view name);
  bool splitAtSeparators(std::size_t step);
  void addHeaderName(std::size_t begin, std::size_t end);
  bool fitsReady(std::size_t nameSize) const;
  std::string_view headerName(std::size_t index);
  void prepareGenerated(std::size_t index);
  void writeUnready(XmlWriter& out, std::size_t index, std::string_view before,
                    std::string_view after);

  PaddedTexts m_texts;
  std::vector<Tags> m_tags;
  std::size_t m_count = static_cast<std::size_t>(-1);
  bool m_generated = true;

  std::string m_line;
  std::string m_separator;
  std::size_t m_readyNames = 0;
  bool m_split = true;
  std::size_t m_names = 0;                            // names found so far while splitting
  std::size_t m_nameBegin = 0;                        // where the name being split begins
  std::size_t m_searchFrom = 0;                       // where the search for its end goes on
  Name m_firstUnready;                                // the first name whose tags are not ready
  Name m_cursor{static_cast<std::size_t>(-1), 0, 0};  // the last name written past them
};

}  // namespace rowvane
