#include "engine/NameTags.h"

#include <charconv>

namespace rowvane {
namespace {

// Tags of generated names are kept ready for the first columns only; wider
// lines format the rest as they go.
constexpr std::size_t kPreparedGeneratedNames = 4096;

std::string GeneratedName(std::size_t index) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, index + 1);
  return std::string("header").append(digits, result.ptr);
}

}  // namespace

NameTags::NameTags(std::string_view indent) : m_indent(indent), m_text(kCopySlack, '\0') {}

void NameTags::add(std::string_view name) {
  m_generated = false;
  m_text.resize(m_text.size() - kCopySlack);
  Span span;
  span.open = m_text.size();
  m_text.append(m_indent).append("<").append(name).append(">");
  span.close = m_text.size();
  m_text.append("</").append(name).append(">\r\n");
  m_text.append(kCopySlack, '\0');
  m_spans.push_back(span);
}

void NameTags::rebuild(std::string_view indent) {
  NameTags other(indent);
  for (std::size_t i = 0; i < m_spans.size(); ++i) {
    const std::size_t nameAt = m_spans[i].open + m_indent.size() + 1;
    other.add(std::string_view(m_text).substr(nameAt, m_spans[i].close - 1 - nameAt));
  }
  other.m_generated = m_generated;
  other.m_count = m_count;
  *this = std::move(other);
}

void NameTags::ensureGenerated(std::size_t index) {
  while (m_generated && m_spans.size() <= index && m_spans.size() < kPreparedGeneratedNames) {
    add(GeneratedName(m_spans.size()));
    m_generated = true;
  }
}

void NameTags::writeOpen(XmlWriter& out, std::size_t index) {
  if (!has(index)) {
    return;
  }
  ensureGenerated(index);
  if (index < m_spans.size()) {
    out.putPadded(m_text.data() + m_spans[index].open, m_spans[index].close - m_spans[index].open);
  } else {
    writeGenerated(out, index, std::string(m_indent) + "<", ">");
  }
}

void NameTags::writeClose(XmlWriter& out, std::size_t index) {
  if (!has(index)) {
    return;
  }
  if (index < m_spans.size()) {
    out.putPadded(m_text.data() + m_spans[index].close, endOf(index) - m_spans[index].close);
  } else {
    writeGenerated(out, index, "</", ">\r\n");
  }
}

void NameTags::writeGenerated(XmlWriter& out, std::size_t index, std::string_view before,
                              std::string_view after) {
  out.put(std::string(before).append(GeneratedName(index)).append(after));
}

}  // namespace rowvane
