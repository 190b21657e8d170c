#include "engine/csv/HeaderNames.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace rowvane {
namespace {

// A split step finds at most one name per this many bytes of its step, so a
// step of short names takes no longer than one of long.
constexpr std::size_t kStepBytesPerName = 16;

}  // namespace

HeaderNames::HeaderNames(std::string line, std::string_view separator)
    : m_kind(Kind::Line), m_line(std::move(line)), m_separator(separator) {}

HeaderNames HeaderNames::Values() {
  HeaderNames names;
  names.m_kind = Kind::Values;
  names.m_count = 0;
  return names;
}

bool HeaderNames::split(std::size_t step) {
  if (m_kind != Kind::Line || !open()) {
    return true;
  }
  if (m_line.empty()) {
    m_found = 0;  // an empty line has no names
  } else if (m_separator.empty()) {
    m_found = 1;  // the line stays whole
  } else if (!splitAtSeparators(std::max<std::size_t>(step, 1))) {
    return false;
  }
  m_count = m_found;
  m_kept = firstPlace();
  return true;
}

bool HeaderNames::splitAtSeparators(std::size_t step) {
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
    ++m_found;
    m_nameBegin = m_searchFrom = found + separatorSize;
    if (--namesLeft == 0) {
      return false;
    }
  }
  if (windowEnd < line.size()) {
    m_searchFrom = std::max(m_nameBegin, windowEnd - (separatorSize - 1));
    return false;
  }
  ++m_found;  // the last name
  return true;
}

HeaderNames::Place HeaderNames::firstPlace() const {
  const auto found = m_separator.empty() ? std::string::npos : m_line.find(m_separator);
  return {0, 0, found == std::string::npos ? m_line.size() : found};
}

std::string_view HeaderNames::name(std::size_t index) {
  if (m_kind == Kind::Values) {
    const std::size_t begin = index == 0 ? 0 : m_ends[index - 1];
    return std::string_view(m_line).substr(begin, m_ends[index] - begin);
  }
  // Records ask for their names in order, so the walk goes on from the name
  // found last and starts over once per record.
  if (m_cursor.index == kOpen || index < m_cursor.index) {
    m_cursor = m_kept;
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

void HeaderNames::keepPlace(std::size_t index) {
  if (m_kind == Kind::Line && index < m_count) {
    name(index);
    m_kept = m_cursor;
  }
}

}  // namespace rowvane
