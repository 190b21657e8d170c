#include "engine/FieldTags.h"

#include <charconv>

namespace rowvane {
namespace {

// Tags of generated names are kept ready for the first columns only; wider
// lines format the rest as they go.
constexpr std::size_t kPreparedGeneratedNames = 4096;

void AppendGeneratedName(std::string& out, std::size_t index) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, index + 1);
  out.append("header");
  out.append(digits, result.ptr);
}

}  // namespace

FieldTags::FieldTags(const std::vector<std::string>& names) : m_generated(false) {
  for (const std::string& name : names) {
    add(name);
  }
  m_count = names.size();
}

void FieldTags::add(std::string_view name) {
  const std::string openInRow = std::string("  <").append(name).append(">");
  const std::string openInDocument = std::string(" <").append(name).append(">");
  const std::string close = std::string("</").append(name).append(">\r\n");
  if (!m_tags.empty()) {
    Tags& previous = m_tags.back();
    previous.nextInRow = m_texts.add(std::string(m_texts.view(previous.close)) + openInRow);
    previous.nextInDocument =
        m_texts.add(std::string(m_texts.view(previous.close)) + openInDocument);
  }
  Tags tags;
  tags.openInRow = m_texts.add(openInRow);
  tags.openInDocument = m_texts.add(openInDocument);
  tags.close = m_texts.add(close);
  m_tags.push_back(tags);
}

void FieldTags::prepareGenerated(std::size_t index) {
  while (m_tags.size() <= index && m_tags.size() < kPreparedGeneratedNames) {
    std::string name;
    AppendGeneratedName(name, m_tags.size());
    add(name);
  }
}

void FieldTags::writeGenerated(XmlWriter& out, std::size_t index, std::string_view before,
                               std::string_view after) {
  std::string tag(before);
  AppendGeneratedName(tag, index);
  tag.append(after);
  out.put(tag);
}

}  // namespace rowvane
