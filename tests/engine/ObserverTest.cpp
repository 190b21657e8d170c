#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/core/Failure.h"
#include "engine/core/LiveOptions.h"
#include "engine/io/OutputSink.h"
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

/// Counts the pauses the engine offers.
class PauseCounter : public ConversionObserver {
 public:
  void onPause() override { ++pauses; }
  std::size_t pauses = 0;
};

TEST(Observer, SplittingALongHeaderPausesEveryStep) {
  // The whole input comes in one read, so the pauses beyond the few at the
  // reads are the split's. A step covers at most `step` bytes of the header
  // and, since ready tags cost per name, at most step / 16 names.
  struct Case {
    std::string name;
    std::size_t names;
    std::size_t nameSize;
    std::string after;  // what follows the header line
    bool split;
  };
  const std::vector<Case> cases = {
      {"short names", 20000, 1, "\r\nx", true},
      {"long names", 500, 200, "\r\nx", true},
      {"no record", 20000, 1, "", false},
      {"only repeats of the header", 20000, 1, "\r\nHEADER\r\nHEADER\r\n", false},
  };
  constexpr std::size_t kStep = 64;
  for (const Case& c : cases) {
    std::string header;
    for (std::size_t i = 0; i < c.names; ++i) {
      header.append(i == 0 ? "" : ",").append(c.nameSize, 'n');
    }
    std::string after = c.after;
    for (auto at = after.find("HEADER"); at != std::string::npos; at = after.find("HEADER")) {
      after.replace(at, 6, header);
    }
    MemorySource source(header + after);
    MemorySink sink;
    PauseCounter observer;
    ConversionTuning tuning;
    tuning.pauseInterval = std::chrono::milliseconds(0);
    tuning.headerSplitStep = kStep;
    ConvertCsvToXml(source, sink, ConversionSettings{}, observer, tuning);
    const std::size_t steps = std::max(header.size() / kStep, c.names / (kStep / 16));
    if (c.split) {
      EXPECT_GE(observer.pauses, steps - 1) << c.name;
    } else {
      EXPECT_LT(observer.pauses, 10u) << c.name;  // a header nothing needs is not split
      EXPECT_EQ(sink.bytes(), "<XML>\r\n</XML>") << c.name;
    }
  }
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
