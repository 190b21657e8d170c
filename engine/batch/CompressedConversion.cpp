#include "engine/batch/CompressedConversion.h"

#include <cstdint>
#include <optional>

#include "engine/batch/CsvToXml.h"
#include "engine/batch/SinkChain.h"
#include "engine/io/GzipSource.h"

namespace rowvane {
namespace {

/// The conversion cannot tell how far it is into a text of unknown length;
/// the compressed bytes read so far can.
class CompressedProgress : public ConversionObserver {
 public:
  CompressedProgress(ConversionObserver& observer, const GzipSource& source,
                     std::optional<std::uint64_t> compressedSize)
      : m_observer(observer), m_source(source), m_compressedSize(compressedSize.value_or(0)) {}

  void onProgress(double share) override {
    if (share >= 1.0) {
      m_observer.onProgress(1.0);
    }
  }
  void onPause() override {
    if (m_compressedSize > 0) {
      m_observer.onProgress(static_cast<double>(m_source.compressedBytesRead()) /
                            static_cast<double>(m_compressedSize));
    }
    m_observer.onPause();
  }
  PauseAnswer pauseAnswer() const override { return m_observer.pauseAnswer(); }
  const LiveOptions* liveOptions() const override { return m_observer.liveOptions(); }

 private:
  ConversionObserver& m_observer;
  const GzipSource& m_source;
  std::uint64_t m_compressedSize;
};

ConversionResult ConvertSource(ByteSource& source, bool gunzip, OutputSink& sink,
                               const ConversionSettings& settings, ConversionObserver& observer,
                               const ConversionTuning& tuning) {
  if (!gunzip) {
    return ConvertCsvToXml(source, sink, settings, observer, tuning);
  }
  GzipSource text(source, tuning.readChunk);
  CompressedProgress progress(observer, text, source.size());
  return ConvertCsvToXml(text, sink, settings, progress, tuning);
}

}  // namespace

ConversionResult ConvertCompressed(ByteSource& source, bool gunzip, OutputSink& sink,
                                   const ConversionSettings& settings, ConversionObserver& observer,
                                   const ConversionTuning& tuning) {
  SinkChain chain(sink, settings);
  ConversionResult result =
      ConvertSource(source, gunzip, chain.first(), settings, observer, tuning);
  if (!result.stopped) {
    chain.finish();  // an unfinished document has no verdict and no end
  }
  return result;
}

bool CompressedTextIsUtf8(ByteSource& source, bool gunzip, std::size_t chunk) {
  bool utf8 = false;
  if (gunzip) {
    GzipSource text(source, chunk);
    utf8 = TextIsUtf8(text, chunk);
  } else {
    utf8 = TextIsUtf8(source, chunk);
  }
  source.rewind();
  return utf8;
}

}  // namespace rowvane
