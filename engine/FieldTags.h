#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "XmlWriter.h"

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
    if (index < m_close.size()) {
      out.put(insideRow ? m_openInRow[index] : m_openInDocument[index]);
    } else {
      writeGenerated(out, index, insideRow ? "  <" : " <", ">");
    }
  }
  /// "</", the name, ">" and a line break.
  void writeClose(XmlWriter& out, std::size_t index) {
    if (index < m_close.size()) {
      out.put(m_close[index]);
    } else {
      writeGenerated(out, index, "</", ">\r\n");
    }
  }
  /// Keeps the tags of generated names up to `index` ready, within a bound.
  void prepare(std::size_t index);

 private:
  void add(std::string_view name);
  static void writeGenerated(XmlWriter& out, std::size_t index, std::string_view before,
                             std::string_view after);

  std::vector<std::string> m_openInRow;
  std::vector<std::string> m_openInDocument;
  std::vector<std::string> m_close;
  std::size_t m_count = static_cast<std::size_t>(-1);
  bool m_generated = true;
};

}  // namespace rowvane
