#include "engine/xml/ElementTags.h"

#include <charconv>

#include "engine/xml/XmlEscaping.h"

namespace rowvane {
namespace {

// Tags of generated names are kept ready for the first columns only; wider
// lines format the rest as they go.
constexpr std::size_t kPreparedGeneratedNames = 4096;
// Memory the ready tags of header names may take (their buffers may grow to
// twice this); fields past them are written from the names as they stand.
constexpr std::size_t kReadyHeaderBytes = std::size_t{8} << 20;

void AppendGeneratedName(std::string& out, std::size_t index) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, index + 1);
  out.append("header");
  out.append(digits, result.ptr);
}

}  // namespace

void ElementTags::use(HeaderNames& names, std::size_t readyNames) {
  m_names = &names;
  if (names.generated()) {
    return;  // made ready as they are first written
  }
  std::size_t index = 0;
  for (; index < names.count(); ++index) {
    const std::string name = fixed(names.name(index), index);
    if (!fitsReady(name.size(), readyNames)) {
      break;
    }
    add(name);
  }
  names.keepPlace(index);
}

bool ElementTags::fitsReady(std::size_t nameSize, std::size_t readyNames) const {
  // Five texts per name: two opening tags, the closing tag, and the closing
  // tag joined to each of the next name's opening tags.
  const std::size_t cost = 5 * nameSize + 64 + sizeof(Tags) + 2 * sizeof(PaddedTexts::Ref);
  const std::size_t held =
      m_texts.size() + m_tags.size() * (sizeof(Tags) + 2 * sizeof(PaddedTexts::Ref));
  return m_tags.size() < readyNames && held <= kReadyHeaderBytes &&
         cost <= kReadyHeaderBytes - held;
}

std::string ElementTags::fixed(std::string_view name, std::size_t index) const {
  if (!m_fixNames) {
    return std::string(name);
  }
  std::string whenEmpty;
  AppendGeneratedName(whenEmpty, index);
  return FixXmlName(name, whenEmpty);
}

void ElementTags::add(std::string_view name) {
  const std::string openInRow = std::string("  <").append(name).append(">");
  const std::string openInDocument = std::string(" <").append(name).append(">");
  const std::string close = std::string("</").append(name).append(">\r\n");
  if (!m_tags.empty()) {
    const std::string previousClose(m_texts.view(m_tags.back().close));
    m_nextInRow.push_back(m_texts.add(previousClose + openInRow));
    m_nextInDocument.push_back(m_texts.add(previousClose + openInDocument));
  }
  Tags tags;
  tags.openInRow = m_texts.add(openInRow);
  tags.openInDocument = m_texts.add(openInDocument);
  tags.close = m_texts.add(close);
  m_tags.push_back(tags);
}

void ElementTags::prepareGenerated(std::size_t index) {
  while (m_tags.size() <= index && m_tags.size() < kPreparedGeneratedNames) {
    std::string name;
    AppendGeneratedName(name, m_tags.size());
    add(name);
  }
}

void ElementTags::writeUnready(XmlWriter& out, std::size_t index, std::string_view before,
                               std::string_view after) {
  if (m_names->generated()) {
    std::string tag(before);
    AppendGeneratedName(tag, index);
    tag.append(after);
    out.put(tag);
    return;
  }
  out.put(before);
  if (m_fixNames) {
    out.put(fixed(m_names->name(index), index));
  } else {
    out.put(m_names->name(index));
  }
  out.put(after);
}

}  // namespace rowvane
