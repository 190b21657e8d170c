#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/Failure.h"
#include "engine/LiveOptions.h"
#include "engine/OutputSink.h"
#include "tests/engine/ConvertText.h"

namespace rowvane {
namespace {

/// Switches the row elements off at the first pause and records progress.
class SwitchingObserver : public ConversionObserver, public LiveOptions {
 public:
  void onProgress(double share) override { shares.push_back(share); }
  void onPause() override { ++pauses; }
  const LiveOptions* liveOptions() const override { return this; }
  bool includeRowTags() const override { return pauses == 0; }
  std::vector<double> shares;
  int pauses = 0;
};

ConversionTuning EveryChunk(std::size_t chunk) {
  ConversionTuning tuning;
  tuning.readChunk = chunk;
  tuning.pauseInterval = std::chrono::milliseconds(0);
  return tuning;
}

TEST(Observer, RowTagSwitchAppliesFromTheNextRecord) {
  MemorySource source("a\r\n1\r\n2\r\n3", 4);
  MemorySink sink;
  SwitchingObserver observer;
  ConvertCsvToXml(source, sink, ConversionSettings{}, observer, EveryChunk(4));
  // The header line is read in the first chunk; record 1 starts with row tags
  // latched before the switch can have happened only if no pause came first.
  const std::string& out = sink.bytes();
  EXPECT_GT(observer.pauses, 0);
  EXPECT_EQ(out.find(" <row>"), std::string::npos) << out;
  EXPECT_NE(out.find(" <a>1</a>\r\n"), std::string::npos) << out;
}

TEST(Observer, ARecordKeepsTheLayoutItStartedWith) {
  // A long record spans many pauses; the switch shows only from the next one.
  const std::string longValue(1000, 'x');
  MemorySource source("a\r\n" + longValue + "\r\n2", 64);
  MemorySink sink;
  class LateSwitch : public ConversionObserver, public LiveOptions {
   public:
    void onPause() override { ++calls; }
    const LiveOptions* liveOptions() const override { return this; }
    bool includeRowTags() const override { return calls < 3; }
    int calls = 0;
  } observer;
  ConvertCsvToXml(source, sink, ConversionSettings{}, observer, EveryChunk(64));
  EXPECT_EQ(sink.bytes(), testing::Lines({"<XML>", " <row>", "  <a>" + longValue + "</a>",
                                          " </row>", " <a>2</a>", "</XML>"}));
}

TEST(Observer, ProgressRisesToOne) {
  MemorySource source(std::string(10000, 'x'), 100);
  MemorySink sink;
  SwitchingObserver observer;
  ConvertCsvToXml(source, sink, ConversionSettings{}, observer, EveryChunk(100));
  ASSERT_FALSE(observer.shares.empty());
  for (std::size_t i = 1; i < observer.shares.size(); ++i) {
    EXPECT_GE(observer.shares[i], observer.shares[i - 1]);
  }
  EXPECT_DOUBLE_EQ(observer.shares.back(), 1.0);
  EXPECT_GT(observer.shares.size(), 10u);
}

/// Fails once more than `limit` bytes have been written.
class FailingSink : public OutputSink {
 public:
  explicit FailingSink(std::size_t limit) : m_limit(limit) {}
  void write(const char* data, std::size_t size) override {
    if (m_bytes.size() + size > m_limit) {
      throw ConversionError(FailureKind::Write, "No space left on device");
    }
    m_bytes.append(data, size);
  }
  void discard() override { m_bytes.clear(); }

 private:
  std::size_t m_limit;
  std::string m_bytes;
};

TEST(Observer, SinkFailureReachesTheCaller) {
  std::string input = "a,b\r\n";
  for (int i = 0; i < 20000; ++i) {
    input += "1,2\r\n";
  }
  for (const std::size_t limit : {0u, 1u, 4095u, 65536u, 300000u}) {
    MemorySource source(input);
    FailingSink sink(limit);
    ConversionObserver observer;
    try {
      ConvertCsvToXml(source, sink, ConversionSettings{}, observer);
      ADD_FAILURE() << "no failure with limit " << limit;
    } catch (const ConversionError& error) {
      EXPECT_EQ(error.kind(), FailureKind::Write);
      EXPECT_STREQ(error.what(), "No space left on device");
    }
  }
}

}  // namespace
}  // namespace rowvane
