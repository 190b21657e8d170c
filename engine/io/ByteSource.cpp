#include "engine/io/ByteSource.h"

#include <algorithm>
#include <cstring>

namespace rowvane {

std::size_t MemorySource::read(char* buffer, std::size_t capacity) {
  const std::size_t count = std::min({capacity, m_chunk, m_bytes.size() - m_offset});
  std::memcpy(buffer, m_bytes.data() + m_offset, count);
  m_offset += count;
  return count;
}

}  // namespace rowvane
