#include "text/Utf8Validator.h"

#include "text/Utf8.h"

namespace rowvane {

bool Utf8Validator::feed(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* const end = p + bytes.size();
  while (m_valid && p < end) {
    if (m_pending == 0) {
      while (end - p >= 8 && IsAscii8(p)) {
        p += 8;
      }
      if (p == end) {
        break;
      }
      const unsigned char lead = *p++;
      if (lead < 0x80) {
        continue;
      }
      m_valid = StartUtf8Sequence(lead, m_pending, m_lower, m_upper);
      continue;
    }
    const unsigned char next = *p++;
    if (next < m_lower || next > m_upper) {
      m_valid = false;
      break;
    }
    m_lower = 0x80;
    m_upper = 0xBF;
    --m_pending;
  }
  return m_valid;
}

}  // namespace rowvane
