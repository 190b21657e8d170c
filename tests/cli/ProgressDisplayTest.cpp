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
  EXPECT_EQ(takeOutput(), "\r0/5 files  1.5 MB of 3.0 MB");
}

TEST_F(ProgressDisplayTest, ShowsFilesBytesAndAverageRate) {
  ProgressDisplay display(m_out, fakeClock(), 5, 3'000'000);
  display.addBytes(1);  // first draw
  takeOutput();
  advance(2000ms);
  display.addBytes(2'999'999);
  EXPECT_EQ(takeOutput(), "\r0/5 files  3.0 MB of 3.0 MB  1.5 MB/s");
  advance(1000ms);
  display.fileFinished();
  EXPECT_EQ(takeOutput(), "\r1/5 files  3.0 MB of 3.0 MB  1.0 MB/s");
}

TEST_F(ProgressDisplayTest, UnknownTotalShowsBytesOnly) {
  ProgressDisplay display(m_out, fakeClock(), 2, 0);
  display.fileFinished();
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
  display.fileFinished();
  const std::string drawn = takeOutput();
  display.clear();
  EXPECT_EQ(takeOutput(), "\r" + std::string(drawn.size() - 1, ' ') + "\r");
  display.clear();  // nothing on screen: nothing to do
  EXPECT_EQ(takeOutput(), "");
  display.fileFinished();  // well within the interval
  EXPECT_EQ(takeOutput(), "\r2/3 files  0 B");
}

TEST_F(ProgressDisplayTest, ShorterLineBlanksTheRestOfTheLongerOne) {
  ProgressDisplay display(m_out, fakeClock(), 1, 0);
  advance(1000ms);
  display.addBytes(123'456'789);
  EXPECT_EQ(takeOutput(), "\r0/1 files  123.5 MB  123.5 MB/s");
  advance(99'000ms);
  display.fileFinished();
  EXPECT_EQ(takeOutput(), "\r1/1 files  123.5 MB  1.2 MB/s  ");
}

TEST_F(ProgressDisplayTest, FinishDrawsFinalStateAndEndsLine) {
  ProgressDisplay display(m_out, fakeClock(), 2, 0);
  display.fileFinished();
  takeOutput();
  display.fileFinished();  // within the interval: not drawn
  EXPECT_EQ(takeOutput(), "");
  display.finish();
  EXPECT_EQ(takeOutput(), "\r2/2 files  0 B\n");
}

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
