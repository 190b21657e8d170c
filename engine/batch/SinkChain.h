#pragma once

#include <optional>

#include "engine/core/ConversionSettings.h"
#include "engine/io/GzipSink.h"
#include "engine/io/OutputSink.h"
#include "engine/xml/SchemaValidatingSink.h"

namespace rowvane {

/// The sinks between a conversion and where its bytes go, as the settings ask
/// for them: the schema's check first, so that it sees the XML as it is
/// made, then gzip compression, then `target`.
class SinkChain {
 public:
  SinkChain(OutputSink& target, const ConversionSettings& settings) {
    if (settings.GzipLevel) {
      m_compressed.emplace(target, *settings.GzipLevel);
    }
    OutputSink& written = m_compressed ? static_cast<OutputSink&>(*m_compressed) : target;
    if (settings.Schema) {
      m_checked.emplace(written, *settings.Schema);
    }
    m_first = m_checked ? static_cast<OutputSink*>(&*m_checked) : &written;
  }
  SinkChain(const SinkChain&) = delete;
  SinkChain& operator=(const SinkChain&) = delete;

  /// Where the conversion writes.
  OutputSink& first() { return *m_first; }

  /// Ends a complete document: the schema's verdict (ConversionError of
  /// FailureKind::Schema when it does not match), then the compressed
  /// stream's end.
  void finish() {
    if (m_checked) {
      m_checked->finish();
    }
    if (m_compressed) {
      m_compressed->finish();
    }
  }

 private:
  std::optional<GzipSink> m_compressed;
  std::optional<SchemaValidatingSink> m_checked;
  OutputSink* m_first = nullptr;
};

}  // namespace rowvane
