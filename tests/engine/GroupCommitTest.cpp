#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "engine/batch/BatchConverter.h"
#include "engine/batch/BatchStop.h"
#include "engine/io/AtomicOutputFile.h"
#include "engine/io/FolderHandleCache.h"
#include "tests/support/TempDir.h"

namespace rowvane {
namespace {

using testing::ReadFile;
using testing::TempDir;

std::string OneValueXml(const std::string& value) {
  return "<XML>\r\n <row>\r\n  <v>" + value + "</v>\r\n </row>\r\n</XML>";
}

/// Looks, whenever a file is reported converted, at what its name holds then.
class NameWatcher : public BatchObserver {
 public:
  void onFileFinished(std::size_t, const FileOutcome& outcome) override {
    if (outcome.status == FileOutcome::Status::Converted) {
      seenAtReport[outcome.outputPath] = ReadFile(outcome.outputPath);
    }
  }
  std::map<std::string, std::string> seenAtReport;
};

struct GroupCase {
  const char* name;
  GroupBounds bounds;
  unsigned jobs;
  bool sync;
};

void PrintTo(const GroupCase& row, std::ostream* out) {
  *out << row.name;
}

class GroupCommitCase : public ::testing::TestWithParam<GroupCase> {};

// Whatever closes a group, every converted file is under its name, whole,
// when it is reported; inputs sharing an output end as in list order; an
// input that fails keeps the output before it; nothing temporary stays.
TEST_P(GroupCommitCase, ReportsOnlyNamedOutputsAndKeepsListOrder) {
  const GroupCase& row = GetParam();
  TempDir in;
  TempDir out;
  std::vector<std::string> inputs;
  std::map<std::string, std::string> expected;
  for (int i = 0; i < 30; ++i) {
    const std::string value = std::to_string(i);
    inputs.push_back(in.write("d" + value + "/same.csv", "v\r\n" + value));
    inputs.push_back(in.write("f" + value + ".csv", "v\r\n" + value));
    expected[out / ("f" + value + ".xml")] = OneValueXml(value);
  }
  inputs.push_back(in.path().string() + "/d-missing/same.csv");
  std::filesystem::create_directories(in.path() / "bad/same.csv");  // fails to be read
  inputs.push_back(in / "bad/same.csv");
  ConversionTuning tuning;
  tuning.groupBounds = row.bounds;
  tuning.syncToDisk = row.sync;
  NameWatcher watcher;
  const auto outcomes =
      ConvertBatch(inputs, out.path().string(), ConversionSettings{}, row.jobs, watcher, tuning);
  for (const auto& [path, xml] : expected) {
    EXPECT_EQ(watcher.seenAtReport[path], xml) << path;
    EXPECT_EQ(ReadFile(path), xml) << path;
  }
  EXPECT_EQ(ReadFile(out / "same.xml"), OneValueXml("29"));
  std::size_t converted = 0;
  for (const FileOutcome& outcome : outcomes) {
    converted += outcome.status == FileOutcome::Status::Converted ? 1 : 0;
  }
  EXPECT_EQ(watcher.seenAtReport.size(), expected.size() + 1);
  EXPECT_GE(converted, 60u);
  for (const auto& entry : std::filesystem::directory_iterator(out.path())) {
    EXPECT_EQ(entry.path().filename().string().rfind(".rowvane-", 0), std::string::npos)
        << entry.path();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, GroupCommitCase,
    ::testing::Values(GroupCase{"OneFileGroups", {.files = 1}, 2, true},
                      GroupCase{
                          "ThreeFileGroupsFourJobs", {.files = 3, .flushThreads = 2}, 4, true},
                      GroupCase{"ByteBound", {.bytes = 100, .flushThreads = 1}, 2, true},
                      GroupCase{"AgeBound", {.age = std::chrono::milliseconds(0)}, 3, true},
                      GroupCase{"OneGroupForAll", {}, 1, true}, GroupCase{"NoSync", {}, 4, false}),
    [](const auto& test) { return std::string(test.param.name); });

/// Stops the batch from another thread once file `trigger` has started, and
/// notes what each file became.
class StoppingWatcher : public BatchObserver {
 public:
  StoppingWatcher(BatchStop& stop, std::size_t trigger) : m_stop(stop), m_trigger(trigger) {}
  void onFileStarted(std::size_t index) override {
    if (index == m_trigger) {
      m_stopper = std::jthread([this] { m_stop.request(); });
    }
  }
  void onFileFinished(std::size_t index, const FileOutcome& outcome) override {
    seen[index] += outcome.status == FileOutcome::Status::Converted ? "converted" : "failed";
  }
  void onFileStopped(std::size_t index, bool written) override {
    seen[index] += written ? "written, stopped" : "stopped";
  }
  std::map<std::size_t, std::string> seen;

 private:
  BatchStop& m_stop;
  std::size_t m_trigger;
  std::jthread m_stopper;
};

// Stopped while a large file converts, with every finished output waiting in
// one open group: those are dropped and reported as written and stopped, the
// large one and the rest as stopped, each once, and no name is taken.
TEST(GroupCommitStop, DropsUnnamedMembersAndReportsEveryFileOnce) {
  for (const std::size_t large : {std::size_t{1}, std::size_t{4}}) {
    TempDir in;
    TempDir out;
    std::vector<std::string> inputs;
    for (std::size_t i = 0; i < 7; ++i) {
      inputs.push_back(in.write("f" + std::to_string(i) + ".csv",
                                i == large ? "v\r\n" + std::string(std::size_t{60} << 20, 'x')
                                           : "v\r\n" + std::to_string(i)));
    }
    BatchStop stop;
    ConversionTuning tuning;
    tuning.groupBounds = {.files = 64, .age = std::chrono::hours(1)};
    tuning.stop = &stop;
    StoppingWatcher watcher(stop, large);
    const std::vector<FileOutcome> outcomes =
        ConvertBatch(inputs, out.path().string(), ConversionSettings{}, 1, watcher, tuning);
    ASSERT_EQ(watcher.seen.size(), inputs.size());
    for (const FileOutcome& outcome : outcomes) {
      EXPECT_EQ(outcome.status, FileOutcome::Status::Stopped) << "large file " << large;
    }
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      EXPECT_EQ(watcher.seen[i], i < large ? "written, stopped" : "stopped") << i;
    }
    EXPECT_TRUE(std::filesystem::is_empty(out.path())) << "large file " << large;
  }
}

struct CacheCase {
  const char* name;
  std::size_t capacity;
  std::vector<std::string> opened;  // folder names, in order
  std::size_t held;
  bool firstStillCached;
};

void PrintTo(const CacheCase& row, std::ostream* out) {
  *out << row.name;
}

class FolderCacheCase : public ::testing::TestWithParam<CacheCase> {};

TEST_P(FolderCacheCase, HoldsAtMostItsCapacityMostRecentFirst) {
  const CacheCase& row = GetParam();
  TempDir root;
  for (const std::string& name : row.opened) {
    std::filesystem::create_directories(root.path() / name);
  }
  FolderHandleCache cache(row.capacity);
  const auto first = cache.open(root / row.opened.front());
  for (const std::string& name : row.opened) {
    EXPECT_EQ(cache.open(root / name)->path(), root / name);
  }
  EXPECT_EQ(cache.size(), row.held);
  EXPECT_EQ(cache.open(root / row.opened.front()) == first, row.firstStillCached);
}

INSTANTIATE_TEST_SUITE_P(
    Capacity, FolderCacheCase,
    ::testing::Values(CacheCase{"OneFolderOnce", 64, {"a", "a", "a"}, 1, true},
                      CacheCase{"FewerThanCapacity", 64, {"a", "b", "c"}, 3, true},
                      CacheCase{"OldestClosed", 2, {"a", "b", "c"}, 2, false},
                      CacheCase{"RecentUseKeepsIt", 2, {"a", "b", "a", "c"}, 2, true}),
    [](const auto& test) { return std::string(test.param.name); });

// A folder whose path is given to another folder: the file saving through the
// opened folder lands there, and the next one opens the path anew.
TEST(FolderCache, ReplacedFolderIsOpenedAgainByPath) {
  TempDir root;
  std::filesystem::create_directories(root.path() / "out");
  FolderHandleCache cache;
  AtomicOutputFile first(root / "out/a.xml", {.syncFile = true,
                                              .syncFolder = true,
                                              .unnamedTemporary = true,
                                              .beforeRename = {},
                                              .folder = cache.open(root / "out"),
                                              .neverReplace = {}});
  std::filesystem::rename(root.path() / "out", root.path() / "old");
  std::filesystem::create_directories(root.path() / "out");
  first.write("1", 1);
  first.commit();
  EXPECT_EQ(ReadFile(root / "old/a.xml"), "1");
  EXPECT_FALSE(std::filesystem::exists(root.path() / "out/a.xml"));
  AtomicOutputFile second(root / "out/b.xml", {.syncFile = true,
                                               .syncFolder = true,
                                               .unnamedTemporary = true,
                                               .beforeRename = {},
                                               .folder = cache.open(root / "out"),
                                               .neverReplace = {}});
  second.write("2", 1);
  second.commit();
  EXPECT_EQ(ReadFile(root / "out/b.xml"), "2");
}

}  // namespace
}  // namespace rowvane
