#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/XmlWriter.h"

namespace rowvane {

/// The opening and closing tags of a file's fields, all in one text: for each
/// field, its indentation, `<name>`, then `</name>` and a line break. So the
/// closing tag of one field and the opening tag of the next stand side by side
/// and go out in one copy, and each name is held twice, never as a string of
/// its own. Names are given in order, or generated (header1, header2, ...)
/// while the count is still open; generated names past a bound are formatted
/// as they are written, so a first line of any length keeps memory flat.
class NameTags {
 public:
  /// `indent`: the spaces before an opening tag.
  explicit NameTags(std::string_view indent);

  /// Appends a field with this name; only before setCount().
  void add(std::string_view name);
  /// Fixes the count of fields (the names given so far, or the generated ones).
  void setCount(std::size_t count) { m_count = count; }
  std::size_t count() const { return m_count; }
  bool has(std::size_t index) const { return index < m_count; }
  /// Writes every tag with a new indentation from now on.
  void reindent(std::string_view indent) {
    if (indent != m_indent) {
      rebuild(indent);
    }
  }
  std::string_view indent() const { return m_indent; }

  /// Indentation and opening tag of field `index`.
  void writeOpen(XmlWriter& out, std::size_t index);
  /// Closing tag and line break of field `index`.
  void writeClose(XmlWriter& out, std::size_t index);
  /// Closing tag of field `index` followed by the opening tag of the next,
  /// readable for kCopySlack bytes past its end; empty when the two are not
  /// both prepared (then write them one by one).
  std::string_view between(std::size_t index) const {
    if (index + 1 < m_spans.size() && index + 1 < m_count) {
      return {m_text.data() + m_spans[index].close,
              m_spans[index + 1].close - m_spans[index].close};
    }
    return {};
  }
  /// The opening tag of field `index` alone, the same way; empty when not prepared.
  std::string_view open(std::size_t index) const {
    if (index < m_spans.size() && index < m_count) {
      return {m_text.data() + m_spans[index].open, m_spans[index].close - m_spans[index].open};
    }
    return {};
  }
  /// The closing tag and line break of field `index` alone; empty when not prepared.
  std::string_view close(std::size_t index) const {
    if (index < m_spans.size() && index < m_count) {
      return {m_text.data() + m_spans[index].close, endOf(index) - m_spans[index].close};
    }
    return {};
  }

  struct Span {
    std::size_t open;   // offset of the indentation before `<name>`
    std::size_t close;  // offset of `</name>`
  };
  /// The tags prepared so far, held by value, so that a hot loop keeps them in
  /// registers; valid until the next add(), reindent() or write of a tag not
  /// yet prepared.
  struct Prepared {
    const char* text;
    const Span* spans;
    std::size_t count;    // fields whose tags are ready (never more than count())
    std::size_t lastEnd;  // where the closing tag of the last ready field ends

    /// As NameTags::between(), for `index + 1 < count`.
    std::string_view between(std::size_t index) const {
      return {text + spans[index].close, spans[index + 1].close - spans[index].close};
    }
    /// As NameTags::open(), for `index < count`.
    std::string_view open(std::size_t index) const {
      return {text + spans[index].open, spans[index].close - spans[index].open};
    }
    /// As NameTags::close(), for `index < count`.
    std::string_view close(std::size_t index) const {
      const std::size_t end = index + 1 < count ? spans[index + 1].open : lastEnd;
      return {text + spans[index].close, end - spans[index].close};
    }
  };
  Prepared prepared() const {
    const std::size_t count = m_spans.size() < m_count ? m_spans.size() : m_count;
    return {m_text.data(), m_spans.data(), count, count > 0 ? endOf(count - 1) : 0};
  }

 private:
  std::size_t endOf(std::size_t index) const {
    return index + 1 < m_spans.size() ? m_spans[index + 1].open : m_text.size() - kCopySlack;
  }
  void rebuild(std::string_view indent);
  void ensureGenerated(std::size_t index);
  void writeGenerated(XmlWriter& out, std::size_t index, std::string_view before,
                      std::string_view after);

  std::string m_indent;
  std::string m_text;  // followed by kCopySlack bytes, for padded copies
  std::vector<Span> m_spans;
  std::size_t m_count = static_cast<std::size_t>(-1);
  bool m_generated = true;
};

}  // namespace rowvane
