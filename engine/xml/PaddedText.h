#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/xml/XmlWriter.h"

namespace rowvane {

/// Short texts kept back to back, each readable for kCopySlack bytes past its
/// end, so XmlWriter::putPadded can copy them with one fixed-size move.
class PaddedTexts {
 public:
  struct Ref {
    std::size_t offset = 0;
    std::size_t size = 0;
  };

  PaddedTexts() { m_bytes.assign(kCopySlack, '\0'); }

  Ref add(std::string_view text) {
    const Ref ref{m_bytes.size() - kCopySlack, text.size()};
    m_bytes.resize(ref.offset);
    m_bytes.append(text);
    m_bytes.append(kCopySlack, '\0');
    return ref;
  }
  void write(XmlWriter& out, Ref ref) const {
    out.putPadded(m_bytes.data() + ref.offset, ref.size);
  }
  const char* at(Ref ref) const { return m_bytes.data() + ref.offset; }
  std::string_view view(Ref ref) const { return {at(ref), ref.size}; }
  /// Bytes held, the slack included.
  std::size_t size() const { return m_bytes.size(); }

 private:
  std::string m_bytes;
};

}  // namespace rowvane
