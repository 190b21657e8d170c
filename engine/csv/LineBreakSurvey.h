#pragma once

#include <cstring>
#include <string_view>

namespace rowvane {

/// Notes, over text fed in pieces of any size, whether it holds LF and
/// whether it holds CR LF. Once CR LF is seen it stops looking, so a file with
/// CR LF line breaks costs one short search.
class LineBreakSurvey {
 public:
  void feed(std::string_view text) {
    if (m_sawCrLf || text.empty()) {
      return;
    }
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    if (m_lastWasCr && *begin == '\n') {
      m_sawCrLf = true;
      return;
    }
    if (!m_sawLf && std::memchr(begin, '\n', text.size()) != nullptr) {
      m_sawLf = true;
    }
    if (m_sawLf) {
      for (const char* cr = begin;
           (cr = static_cast<const char*>(std::memchr(cr, '\r', end - cr))) != nullptr; ++cr) {
        if (cr + 1 < end && cr[1] == '\n') {
          m_sawCrLf = true;
          return;
        }
      }
    }
    m_lastWasCr = end[-1] == '\r';
  }
  bool sawLf() const { return m_sawLf; }
  bool sawCrLf() const { return m_sawCrLf; }

 private:
  bool m_sawLf = false;
  bool m_sawCrLf = false;
  bool m_lastWasCr = false;
};

}  // namespace rowvane
