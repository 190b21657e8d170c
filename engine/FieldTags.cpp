#include "FieldTags.h"

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
  m_openInRow.push_back(std::string("  <").append(name).append(">"));
  m_openInDocument.push_back(std::string(" <").append(name).append(">"));
  m_close.push_back(std::string("</").append(name).append(">\r\n"));
}

void FieldTags::prepare(std::size_t index) {
  while (m_generated && m_close.size() <= index && m_close.size() < kPreparedGeneratedNames) {
    std::string name;
    AppendGeneratedName(name, m_close.size());
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
