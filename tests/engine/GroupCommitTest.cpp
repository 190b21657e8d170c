#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/AtomicOutputFile.h"
#include "engine/BatchConverter.h"
#include "engine/FolderHandleCache.h"
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
