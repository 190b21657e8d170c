#include "engine/xml/HeldRecord.h"

#include <algorithm>
#include <string>

#include "engine/core/Failure.h"

namespace rowvane {

void HeldRecord::startFields(std::size_t index) {
  if (index >= m_ends.size()) {
    m_ends.resize(index + 1);
    m_special.resize(index + 1);
  }
  for (; m_fields <= index; ++m_fields) {
    m_ends[m_fields] = m_size;
    m_special[m_fields] = 0;
  }
}

void HeldRecord::appendBytes(std::string_view bytes) {
  if (bytes.size() > kMostBytes - m_size) {
    throw ConversionError(FailureKind::OutOfMemory,
                          "the record on line " + std::to_string(m_line) +
                              " is larger than 16 MiB, more than a template holds");
  }
  reserve(m_size + bytes.size());
  if (!bytes.empty()) {
    std::memcpy(m_bytes.get() + m_size, bytes.data(), bytes.size());
  }
  m_size += bytes.size();
  m_ends[m_fields - 1] = m_size;
}

std::span<const std::string_view> HeldRecord::values(std::size_t count) {
  if (count > 0) {
    startFields(count - 1);  // fields the record lacked are empty
  }
  m_views.resize(count);
  const char* const bytes = m_bytes.get();
  std::size_t begin = 0;
  for (std::size_t i = 0; i < count; ++i) {
    m_views[i] = std::string_view(bytes + begin, m_ends[i] - begin);
    begin = m_ends[i];
  }
  return m_views;
}

void HeldRecord::reserve(std::size_t size) {
  if (size <= m_capacity && m_bytes) {
    return;
  }
  // Never past the cap, so that a copy that fits needs no check of it.
  const std::size_t capacity =
      std::min(kMostBytes, std::max(size, std::max<std::size_t>(4096, m_capacity * 2)));
  auto bytes = std::make_unique_for_overwrite<char[]>(capacity + kCopySlack);
  if (m_size > 0) {
    std::memcpy(bytes.get(), m_bytes.get(), m_size);
  }
  m_bytes = std::move(bytes);
  m_capacity = capacity;
}

}  // namespace rowvane
