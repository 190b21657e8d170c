#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "engine/batch/BatchConverter.h"
#include "tests/support/TempDir.h"

namespace rowvane {
namespace {

using testing::ReadFile;
using testing::TempDir;

class Recorder : public BatchObserver {
 public:
  void onFileStarted(std::size_t index) override { started.insert(index); }
  void onBytesProcessed(std::uint64_t delta) override { bytes += delta; }
  void onFileFinished(std::size_t index, const FileOutcome&) override { finished.push_back(index); }
  std::set<std::size_t> started;
  std::vector<std::size_t> finished;
  std::uint64_t bytes = 0;
};

TEST(Batch, LaterInputsWinForTheSameOutputWhateverTheJobs) {
  for (const unsigned jobs : {1u, 2u, 4u, 8u}) {
    TempDir in;
    TempDir out;
    std::vector<std::string> inputs;
    // Forty distinct outputs, with "same.xml" written by inputs spread over the list.
    for (int i = 0; i < 40; ++i) {
      inputs.push_back(
          in.write("dir" + std::to_string(i) + "/same.csv", "v\r\n" + std::to_string(i)));
      inputs.push_back(in.write("f" + std::to_string(i) + ".csv", "v\r\n" + std::to_string(i)));
    }
    inputs.push_back(in / "dir-missing/same.csv");  // not present: does not undo the last one
    Recorder recorder;
    const auto outcomes =
        ConvertBatch(inputs, out.path().string(), ConversionSettings{}, jobs, recorder);
    ASSERT_EQ(outcomes.size(), inputs.size());
    EXPECT_EQ(ReadFile(out / "same.xml"), "<XML>\r\n <row>\r\n  <v>39</v>\r\n </row>\r\n</XML>")
        << jobs;
    EXPECT_EQ(ReadFile(out / "f7.xml"), "<XML>\r\n <row>\r\n  <v>7</v>\r\n </row>\r\n</XML>");
    EXPECT_EQ(outcomes.back().status, FileOutcome::Status::Missing);
    EXPECT_EQ(outcomes[3].outputPath, out / "f1.xml");
    EXPECT_EQ(recorder.finished.size(), inputs.size());
    EXPECT_EQ(recorder.started.size(), inputs.size());
    std::uint64_t total = 0;
    for (const auto& outcome : outcomes) {
      total += outcome.inputBytes;
    }
    EXPECT_EQ(recorder.bytes, total);
  }
}

TEST(Batch, AFailedFileDoesNotStopTheOthers) {
  TempDir in;
  TempDir out;
  const std::vector<std::string> inputs = {in.write("a.csv", "x\r\n1"), in.path().string(),
                                           in.write("b.csv", "x\r\n2")};
  Recorder recorder;
  const auto outcomes =
      ConvertBatch(inputs, out.path().string(), ConversionSettings{}, 2, recorder);
  EXPECT_EQ(outcomes[0].status, FileOutcome::Status::Converted);
  EXPECT_EQ(outcomes[1].status, FileOutcome::Status::Failed);
  EXPECT_EQ(outcomes[2].status, FileOutcome::Status::Converted);
}

// Runs out of memory when it is told of chosen files, as a reporter building
// its message might.
class OutOfMemoryObserver : public BatchObserver {
 public:
  OutOfMemoryObserver(std::set<std::size_t> atStart, std::set<std::size_t> atFinish)
      : m_atStart(std::move(atStart)), m_atFinish(std::move(atFinish)) {}
  void onFileStarted(std::size_t index) override {
    if (m_atStart.contains(index)) {
      throw std::bad_alloc();
    }
  }
  void onFileFinished(std::size_t index, const FileOutcome&) override {
    if (m_atFinish.contains(index)) {
      throw std::bad_alloc();
    }
  }

 private:
  std::set<std::size_t> m_atStart;
  std::set<std::size_t> m_atFinish;
};

TEST(Batch, RunningOutOfMemoryFailsThatFileAndTheBatchGoesOn) {
  for (const unsigned jobs : {1u, 4u}) {
    TempDir in;
    TempDir out;
    std::vector<std::string> inputs;
    for (int i = 0; i < 12; ++i) {
      inputs.push_back(in.write("f" + std::to_string(i) + ".csv", "v\r\n" + std::to_string(i)));
    }
    out.write("f3.xml", "earlier output");
    OutOfMemoryObserver observer({3, 7}, {5, 11});
    const auto outcomes =
        ConvertBatch(inputs, out.path().string(), ConversionSettings{}, jobs, observer);
    ASSERT_EQ(outcomes.size(), inputs.size());
    for (std::size_t index = 0; index < inputs.size(); ++index) {
      if (index == 3 || index == 7) {
        EXPECT_EQ(outcomes[index].status, FileOutcome::Status::Failed) << index << " " << jobs;
        EXPECT_EQ(outcomes[index].failures.at(0).kind, FailureKind::OutOfMemory) << index;
      } else {
        // Converted; only the observer missed the news of 5 and 11.
        EXPECT_EQ(outcomes[index].status, FileOutcome::Status::Converted) << index << " " << jobs;
      }
    }
    EXPECT_EQ(ReadFile(out / "f3.xml"), "earlier output");
    EXPECT_FALSE(std::filesystem::exists(out / "f7.xml"));
    EXPECT_EQ(out.entries().size(), inputs.size() - 1) << "no temporary file may be left";
  }
}

// Outputs go where the caller named them, in several folders; a file that
// fails before it is read still counts whole in the batch's bytes, so a
// share of the batch's bytes reaches the whole.
TEST(Batch, PlannedOutputsGoWhereNamedAndEveryByteCounts) {
  TempDir in;
  TempDir out;
  std::filesystem::create_directories(out.path() / "sub");
  std::filesystem::create_directories(out.path() / "blocked.xml");  // cannot become a file
  const std::vector<BatchFile> files = {
      {in.write("a.csv", "x\r\n1"), {out / "first.xml"}},
      {in.write("b.csv", "x\r\n2"), {out / "sub/second.xml"}},
      {in.write("c.csv", "x\r\n3"), {out / "blocked.xml"}},
  };
  Recorder recorder;
  const auto outcomes = ConvertPlannedBatch(files, ConversionSettings{}, 2, recorder);
  ASSERT_EQ(outcomes.size(), 3u);
  EXPECT_EQ(ReadFile(out / "first.xml"), "<XML>\r\n <row>\r\n  <x>1</x>\r\n </row>\r\n</XML>");
  EXPECT_EQ(ReadFile(out / "sub/second.xml"), "<XML>\r\n <row>\r\n  <x>2</x>\r\n </row>\r\n</XML>");
  EXPECT_EQ(outcomes[2].status, FileOutcome::Status::Failed);
  EXPECT_EQ(recorder.bytes, 3u * 4u);
}

TEST(Batch, EmptyListDoesNothing) {
  Recorder recorder;
  EXPECT_TRUE(ConvertBatch({}, std::string(), ConversionSettings{}, 4, recorder).empty());
  EXPECT_TRUE(recorder.finished.empty());
}

}  // namespace
}  // namespace rowvane
