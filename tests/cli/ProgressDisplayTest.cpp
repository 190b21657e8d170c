#include "cli/ProgressDisplay.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <sstream>
#include <string>

namespace rowvane::cli {
namespace {

using namespace std::chrono_literals;

class ProgressDisplayTest : public ::testing::Test {
 protected:
  // A clock that only moves when the test says so.
  SteadyClock fakeClock() {
    return [this] { return m_now; };
  }
  void advance(std::chrono::milliseconds step) { m_now += step; }
  // What was written since the last call.
  std::string takeOutput() {
    std::string text = m_out.str();
    m_out.str("");
    return text;
  }

  std::ostringstream m_out;
  std::chrono::steady_clock::time_point m_now{std::chrono::seconds(1000)};
};

TEST_F(ProgressDisplayTest, FirstEventDrawsAtOnce) {
  ProgressDisplay display(m_out, fakeClock(), 5, 3'000'000);
  EXPECT_EQ(takeOutput(), "");
  display.addBytes(1'500'000);
  EXPECT_EQ(takeOutput(), "\r0/5 files  50%  1.5 MB of 3.0 MB");
}

TEST_F(ProgressDisplayTest, ShowsFilesBytesAndAverageRate) {
  ProgressDisplay display(m_out, fakeClock(), 5, 3'000'000);
  display.addBytes(1);  // first draw
  takeOutput();
  advance(2000ms);
  display.addBytes(2'999'999);
  EXPECT_EQ(takeOutput(), "\r0/5 files  100%  3.0 MB of 3.0 MB  1.5 MB/s");
  advance(1000ms);
  display.fileConverted();
  EXPECT_EQ(takeOutput(), "\r1/5 files  100%  3.0 MB of 3.0 MB  1.0 MB/s");
}

// A written file waits for its group's flush before it counts as converted;
// the line shows meanwhile how many wait, so a long flush does not look stuck.
TEST_F(ProgressDisplayTest, FilesWaitingForTheFlushShowApartUntilCommitted) {
  ProgressDisplay display(m_out, fakeClock(), 4, 0);
  struct Step {
    void (*event)(ProgressDisplay&);
    const char* line;
  };
  const Step steps[] = {
      {[](ProgressDisplay& d) { d.fileWritten(); }, "0/4 files, 1 being flushed  0 B  0 B/s"},
      {[](ProgressDisplay& d) { d.fileWritten(); }, "0/4 files, 2 being flushed  0 B  0 B/s"},
      {[](ProgressDisplay& d) { d.fileConverted(true); }, "1/4 files, 1 being flushed  0 B  0 B/s"},
      {[](ProgressDisplay& d) { d.fileFailed(true); }, "1/4 files, 1 failed  0 B  0 B/s"},
      {[](ProgressDisplay& d) { d.fileFailed(); }, "1/4 files, 2 failed  0 B  0 B/s"},
  };
  for (const Step& step : steps) {
    advance(ProgressDisplay::kRedrawInterval);
    step.event(display);
    const std::string shown = takeOutput();
    EXPECT_EQ(shown.substr(1, shown.find_last_not_of(' ')), step.line);
  }
}

TEST_F(ProgressDisplayTest, UnknownTotalShowsBytesOnly) {
  ProgressDisplay display(m_out, fakeClock(), 2, 0);
  display.fileConverted();
  EXPECT_EQ(takeOutput(), "\r1/2 files  0 B");
}

TEST_F(ProgressDisplayTest, RedrawsAtMostOncePerInterval) {
  ProgressDisplay display(m_out, fakeClock(), 1, 0);
  display.addBytes(10);
  takeOutput();
  advance(ProgressDisplay::kRedrawInterval - 1ms);
  display.addBytes(10);
  display.addBytes(10);
  EXPECT_EQ(takeOutput(), "");
  advance(1ms);
  display.addBytes(10);
  EXPECT_EQ(takeOutput().substr(0, 15), "\r0/1 files  40 ");
}

TEST_F(ProgressDisplayTest, ClearBlanksTheLineAndNextEventRedrawsAtOnce) {
  ProgressDisplay display(m_out, fakeClock(), 3, 0);
  display.fileConverted();
  const std::string drawn = takeOutput();
  display.clear();
  EXPECT_EQ(takeOutput(), "\r" + std::string(drawn.size() - 1, ' ') + "\r");
  display.clear();  // nothing on screen: nothing to do
  EXPECT_EQ(takeOutput(), "");
  display.fileConverted();  // well within the interval
  EXPECT_EQ(takeOutput(), "\r2/3 files  0 B");
}

TEST_F(ProgressDisplayTest, ShorterLineBlanksTheRestOfTheLongerOne) {
  ProgressDisplay display(m_out, fakeClock(), 1, 0);
  advance(1000ms);
  display.addBytes(123'456'789);
  EXPECT_EQ(takeOutput(), "\r0/1 files  123.5 MB  123.5 MB/s");
  advance(99'000ms);
  display.fileConverted();
  EXPECT_EQ(takeOutput(), "\r1/1 files  123.5 MB  1.2 MB/s  ");
}

TEST_F(ProgressDisplayTest, FinishErasesTheLineForTheSummary) {
  ProgressDisplay display(m_out, fakeClock(), 2, 0);
  display.fileConverted();
  EXPECT_EQ(takeOutput(), "\r1/2 files  0 B");
  display.fileConverted();  // within the interval: not drawn
  EXPECT_EQ(takeOutput(), "");
  display.finish();
  EXPECT_EQ(takeOutput(), "\r" + std::string(14, ' ') + "\r");
}

TEST_F(ProgressDisplayTest, FailuresAreCountedApartAndTimeLeftShowsInLongRuns) {
  ProgressDisplay display(m_out, fakeClock(), 10, 100'000'000);
  advance(4000ms);
  display.addBytes(8'000'000);
  EXPECT_EQ(takeOutput(), "\r0/10 files  8%  8.0 MB of 100.0 MB  2.0 MB/s");
  advance(1000ms);
  display.fileFailed();
  EXPECT_EQ(takeOutput(), "\r0/10 files, 1 failed  8%  8.0 MB of 100.0 MB  1.6 MB/s  57 s left");
  advance(5000ms);
  display.addBytes(12'000'000);
  EXPECT_EQ(takeOutput(), "\r0/10 files, 1 failed  20%  20.0 MB of 100.0 MB  2.0 MB/s  40 s left");
  advance(1000ms);
  display.addBytes(80'000'000);  // done: nothing left to wait for
  EXPECT_EQ(takeOutput(),
            "\r0/10 files, 1 failed  100%  100.0 MB of 100.0 MB  9.1 MB/s" + std::string(9, ' '));
}

struct DurationCase {
  std::chrono::seconds duration;
  const char* text;
};

void PrintTo(const DurationCase& row, std::ostream* out) {
  *out << row.duration.count() << " s";
}

class FormatDurationTest : public ::testing::TestWithParam<DurationCase> {};

TEST_P(FormatDurationTest, ReadsAsExpected) {
  EXPECT_EQ(FormatDuration(GetParam().duration), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    ProgressDisplay, FormatDurationTest,
    ::testing::Values(DurationCase{0s, "0 s"}, DurationCase{59s, "59 s"},
                      DurationCase{60s, "1 min 0 s"}, DurationCase{125s, "2 min 5 s"},
                      DurationCase{3599s, "59 min 59 s"}, DurationCase{3600s, "1 h 0 min"},
                      DurationCase{90061s, "25 h 1 min"}, DurationCase{-5s, "0 s"}));

struct BytesCase {
  std::uint64_t bytes;
  const char* text;
};

void PrintTo(const BytesCase& row, std::ostream* out) {
  *out << row.bytes;
}

class FormatBytesTest : public ::testing::TestWithParam<BytesCase> {};

TEST_P(FormatBytesTest, ReadsAsExpected) {
  EXPECT_EQ(FormatBytes(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(ProgressDisplay, FormatBytesTest,
                         ::testing::Values(BytesCase{0, "0 B"}, BytesCase{999, "999 B"},
                                           BytesCase{1000, "1.0 kB"}, BytesCase{1500, "1.5 kB"},
                                           BytesCase{999'949, "999.9 kB"},
                                           BytesCase{999'950, "1.0 MB"},
                                           BytesCase{120'500'000, "120.5 MB"},
                                           BytesCase{3'200'000'000, "3.2 GB"},
                                           BytesCase{7'000'000'000'000'000'000, "7000.0 PB"}));

}  // namespace
}  // namespace rowvane::cli
