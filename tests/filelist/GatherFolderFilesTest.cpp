#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "filelist/GatherFolderFiles.h"
#include "tests/support/MemoryFileSystem.h"

namespace rowvane {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

/// The folder of the button's own example: CSV files of every kind and one
/// sub-folder.
MemoryFileSystem ExampleFolder() {
  MemoryFileSystem fs;
  fs.addFile("/in/a.csv", 32);
  fs.addFile("/in/b.CSV", 32);
  fs.addFile("/in/c.txt", 32);
  fs.addFile("/in/~lock.csv", 32);
  fs.addFile("/in/h.csv", 34);
  fs.addFile("/in/k.csv", 2);
  fs.addFile("/in/s/d.csv", 32);
  return fs;
}

TEST(GatherFolderFilesTest, TakesTheCsvFilesOfTheFolderAndItsSubFolders) {
  const MemoryFileSystem fs = ExampleFolder();
  EXPECT_THAT(GatherFolderFiles(fs, "/in"),
              ElementsAre("/in/a.csv", "/in/b.CSV", "/in/k.csv", "/in/s/d.csv"));
}

TEST(GatherFolderFilesTest, AFolderGivenWithItsSeparatorGivesTheSameEntries) {
  const MemoryFileSystem fs = ExampleFolder();
  EXPECT_EQ(GatherFolderFiles(fs, "/in/"), GatherFolderFiles(fs, "/in"));
}

struct SubFolderCase {
  Attributes value;
  bool taken;
};

class GatherSubFolderTest : public testing::TestWithParam<SubFolderCase> {};

TEST_P(GatherSubFolderTest, FollowsTheWalkRules) {
  MemoryFileSystem fs = ExampleFolder();
  fs.addFolder("/in/t", GetParam().value);
  fs.addFile("/in/t/e.csv");
  fs.addFile("/in/t/below/f.csv");
  const auto entries = GatherFolderFiles(fs, "/in");
  if (GetParam().taken) {
    EXPECT_THAT(entries, ElementsAre("/in/a.csv", "/in/b.CSV", "/in/k.csv", "/in/s/d.csv",
                                     "/in/t/e.csv", "/in/t/below/f.csv"));
  } else {
    EXPECT_THAT(entries, ElementsAre("/in/a.csv", "/in/b.CSV", "/in/k.csv", "/in/s/d.csv"));
  }
}

INSTANTIATE_TEST_SUITE_P(Values, GatherSubFolderTest,
                         testing::Values(SubFolderCase{22, false}, SubFolderCase{18, true},
                                         SubFolderCase{54, true}, SubFolderCase{1046, false},
                                         SubFolderCase{1040, true}));

struct FileValueCase {
  Attributes value;
  bool taken;
};

class GatherFileValueTest : public testing::TestWithParam<FileValueCase> {};

// Only the exact value 34 (hidden archive) keeps a file out.
TEST_P(GatherFileValueTest, LeavesOutHiddenArchiveFilesOnly) {
  MemoryFileSystem fs;
  fs.addFile("/v/x.csv", GetParam().value);
  const auto entries = GatherFolderFiles(fs, "/v");
  if (GetParam().taken) {
    EXPECT_THAT(entries, ElementsAre("/v/x.csv"));
  } else {
    EXPECT_THAT(entries, IsEmpty());
  }
}

INSTANTIATE_TEST_SUITE_P(Values, GatherFileValueTest,
                         testing::Values(FileValueCase{32, true}, FileValueCase{2, true},
                                         FileValueCase{33, true}, FileValueCase{34, false},
                                         FileValueCase{35, true}, FileValueCase{38, true},
                                         FileValueCase{4, true}, FileValueCase{1058, true}));

TEST(GatherFolderFilesTest, TheRootFolderGivesSingleSeparators) {
  MemoryFileSystem fs;
  fs.addFolder("/", 22);
  fs.addFile("/x.csv");
  fs.addFile("/a/y.csv");
  EXPECT_THAT(GatherFolderFiles(fs, "/"), ElementsAre("/x.csv", "/a/y.csv"));
}

TEST(GatherFolderFilesTest, FindsNothingQuietly) {
  MemoryFileSystem fs;
  fs.addFile("/plain/notes.txt");
  EXPECT_THAT(GatherFolderFiles(fs, "/plain"), IsEmpty());
  EXPECT_THAT(GatherFolderFiles(fs, "/missing"), IsEmpty());
  EXPECT_THAT(GatherFolderFiles(fs, ""), IsEmpty());
}

TEST(GatherFolderFilesTest, LeavesOutFilesThatCannotBeOpened) {
  MemoryFileSystem fs;
  fs.addFile("/l/a.csv");
  fs.addFile("/l/locked.csv", 32, false);
  EXPECT_THAT(GatherFolderFiles(fs, "/l"), ElementsAre("/l/a.csv"));
}

TEST(GatherFolderFilesTest, ADroppedFolderGivesFilesOfEveryExtension) {
  MemoryFileSystem fs;
  fs.addFile("/in/a.csv");
  fs.addFile("/in/r.txt");
  fs.addFile("/in/README");
  fs.addFile("/in/~t.csv");
  fs.addFile("/in/h.dat", 34);
  fs.addFile("/in/sub/z.xml");
  EXPECT_THAT(GatherFolderFiles(fs, "/in", kAnyFilePattern),
              ElementsAre("/in/a.csv", "/in/r.txt", "/in/README", "/in/sub/z.xml"));
}

TEST(GatherFolderFilesTest, LetsEventsRunDuringTheWalk) {
  MemoryFileSystem fs = ExampleFolder();
  int calls = 0;
  const auto entries = GatherFolderFiles(fs, "/in", kCsvFilePattern, [&] { ++calls; });
  EXPECT_GT(calls, 0);
  EXPECT_EQ(entries.size(), 4U);
}

TEST(IsDroppedFolderTest, WalksOnlyVisibleFolders) {
  MemoryFileSystem fs;
  fs.addFolder("/d/plain", 16);
  fs.addFolder("/d/readonly", 17);
  fs.addFolder("/d/hidden", 18);
  fs.addFolder("/d/system", 20);
  fs.addFolder("/d/linked", 1040);
  fs.addFile("/d/file.csv", 32);
  EXPECT_TRUE(IsDroppedFolder(fs, "/d/plain"));
  EXPECT_TRUE(IsDroppedFolder(fs, "/d/plain/"));
  EXPECT_TRUE(IsDroppedFolder(fs, "/d/readonly"));
  EXPECT_TRUE(IsDroppedFolder(fs, "/d/linked"));
  EXPECT_TRUE(IsDroppedFolder(fs, "/"));
  EXPECT_FALSE(IsDroppedFolder(fs, "/d/hidden"));
  EXPECT_FALSE(IsDroppedFolder(fs, "/d/system"));
  EXPECT_FALSE(IsDroppedFolder(fs, "/d/file.csv"));
  EXPECT_FALSE(IsDroppedFolder(fs, "/d/missing"));
  EXPECT_FALSE(IsDroppedFolder(fs, ""));
}

}  // namespace
}  // namespace rowvane
