#include "engine/FieldTags.h"

#include <charconv>
#include <cstdint>
#include <utility>

namespace rowvane {
namespace {

// Tags of generated names are kept ready for the first columns only; wider
// lines format the rest as they go.
constexpr std::size_t kPreparedGeneratedNames = 4096;
// Memory the ready tags of header names may take (their buffers may grow to
// twice this); fields past them are written from the header line.
constexpr std::size_t kReadyHeaderBytes = std::size_t{8} << 20;
// A split step finds at most one name per this many bytes of its step, so a
// step of short names that get ready tags takes no longer than one of long.
constexpr std::size_t kStepBytesPerName = 16;

void AppendGeneratedName(std::string& out, std::size_t index) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, index + 1);
  out.append("header");
  out.append(digits, result.ptr);
}

}  // namespace

FieldTags::FieldTags(std::string line, std::string_view separator, std::size_t readyNames)
    : m_count(0),
      m_generated(false),
      m_line(std::move(line)),
      m_separator(separator),
      m_readyNames(readyNames),
      m_split(false) {}

bool FieldTags::split(std::size_t step) {
  if (m_split) {
    return true;
  }
  if (m_line.empty()) {
    // An empty line has no names.
  } else if (m_separator.empty()) {
    addHeaderName(0, m_line.size());  // the line stays whole
  } else if (!splitAtSeparators(std::max<std::size_t>(step, 1))) {
    return false;
  }
  m_count = m_names;
  m_split = true;
  return true;
}

bool FieldTags::splitAtSeparators(std::size_t step) {
  // The search looks no further than the step and goes on from there in the
  // next one, where a separator may straddle the two.
  const std::string_view line = m_line;
  const std::size_t separatorSize = m_separator.size();
  const std::size_t reach = step > SIZE_MAX - separatorSize ? SIZE_MAX : step + separatorSize - 1;
  const std::size_t windowEnd =
      line.size() - m_searchFrom <= reach ? line.size() : m_searchFrom + reach;
  const std::string_view window = line.substr(0, windowEnd);
  std::size_t namesLeft = std::max<std::size_t>(step / kStepBytesPerName, 1);
  for (auto found = window.find(m_separator, m_searchFrom); found != std::string_view::npos;
       found = window.find(m_separator, m_searchFrom)) {
    addHeaderName(m_nameBegin, found);
    m_nameBegin = m_searchFrom = found + separatorSize;
    if (--namesLeft == 0) {
      return false;
    }
  }
  if (windowEnd < line.size()) {
    m_searchFrom = std::max(m_nameBegin, windowEnd - (separatorSize - 1));
    return false;
  }
  addHeaderName(m_nameBegin, line.size());
  return true;
}

void FieldTags::addHeaderName(std::size_t begin, std::size_t end) {
  const std::size_t index = m_names++;
  if (index != m_tags.size()) {
    return;  // past the ready ones
  }
  if (fitsReady(end - begin)) {
    add(std::string_view(m_line).substr(begin, end - begin));
  } else {
    m_firstUnready = {index, begin, end};
  }
}

bool FieldTags::fitsReady(std::size_t nameSize) const {
  // Five texts per name: two opening tags, the closing tag, and the closing
  // tag joined to each of the next name's opening tags.
  const std::size_t cost = 5 * nameSize + 64 + sizeof(Tags);
  const std::size_t held = m_texts.size() + m_tags.size() * sizeof(Tags);
  return m_tags.size() < m_readyNames && held <= kReadyHeaderBytes &&
         cost <= kReadyHeaderBytes - held;
}

std::string_view FieldTags::headerName(std::size_t index) {
  // Records ask for their names in order, so the walk goes on from the name
  // written last and starts over once per record.
  if (index < m_cursor.index) {
    m_cursor = m_firstUnready;
  }
  const std::string_view line = m_line;
  while (m_cursor.index < index) {
    m_cursor.begin = m_cursor.end + m_separator.size();
    const auto found = line.find(m_separator, m_cursor.begin);
    m_cursor.end = found == std::string_view::npos ? line.size() : found;
    ++m_cursor.index;
  }
  return line.substr(m_cursor.begin, m_cursor.end - m_cursor.begin);
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

void FieldTags::writeUnready(XmlWriter& out, std::size_t index, std::string_view before,
                             std::string_view after) {
  if (m_generated) {
    std::string tag(before);
    AppendGeneratedName(tag, index);
    tag.append(after);
    out.put(tag);
    return;
  }
  out.put(before);
  out.put(headerName(index));
  out.put(after);
}

}  // namespace rowvane
