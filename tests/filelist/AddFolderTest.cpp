#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "filelist/AddFolder.h"
#include "filelist/GatherFolderFiles.h"
#include "tests/support/MemoryFileSystem.h"

namespace rowvane {
namespace {

using Folders = std::vector<std::string>;
using testing::ElementsAre;
using testing::IsEmpty;

Folders Walk(const FileSystem& fileSystem, Folders folders, bool recurse = true) {
  CollectSubFolders(fileSystem, folders, recurse);
  return folders;
}

TEST(CollectSubFoldersTest, LeavesOutProtectedFoldersButWalksHiddenOnes) {
  MemoryFileSystem fs;
  fs.addFolder("/data/a", 16);
  fs.addFolder("/data/b", 22);
  fs.addFolder("/data/b/b1", 16);
  fs.addFolder("/data/c", 18);
  fs.addFolder("/data/c/c1", 16);
  EXPECT_THAT(Walk(fs, {"/data/"}), ElementsAre("/data/", "/data/a/", "/data/c/", "/data/c/c1/"));
}

struct WalkableCase {
  Attributes value;
  bool walked;
};

class WalkableValueTest : public testing::TestWithParam<WalkableCase> {};

// Only the exact values 22 and 1046 stop the walk.
TEST_P(WalkableValueTest, ComparesWholeValues) {
  MemoryFileSystem fs;
  fs.addFolder("/top/sub", GetParam().value);
  fs.addFolder("/top/sub/inner", 16);
  const Folders walked = Walk(fs, {"/top/"});
  if (GetParam().walked) {
    EXPECT_THAT(walked, ElementsAre("/top/", "/top/sub/", "/top/sub/inner/"));
  } else {
    EXPECT_THAT(walked, ElementsAre("/top/"));
  }
}

INSTANTIATE_TEST_SUITE_P(Values, WalkableValueTest,
                         testing::Values(WalkableCase{16, true}, WalkableCase{17, true},
                                         WalkableCase{18, true}, WalkableCase{20, true},
                                         WalkableCase{22, false}, WalkableCase{23, true},
                                         WalkableCase{54, true}, WalkableCase{1040, true},
                                         WalkableCase{1046, false}, WalkableCase{1078, true}));

TEST(CollectSubFoldersTest, WalksTheRootFolderAlthoughItIsProtected) {
  MemoryFileSystem fs;
  fs.addFolder("/", 22);
  fs.addFolder("/a/a1", 16);
  fs.addFolder("/p", 22);
  fs.addFolder("/p/p1", 16);
  // A root chosen with its separator arrives as "//".
  EXPECT_THAT(Walk(fs, {"//"}), ElementsAre("//", "//a/", "//a/a1/"));
}

TEST(CollectSubFoldersTest, KeepsAProtectedStartingFolderButLooksNoFurther) {
  MemoryFileSystem fs;
  fs.addFolder("/sys", 22);
  fs.addFolder("/sys/class", 16);
  EXPECT_THAT(Walk(fs, {"/sys/"}), ElementsAre("/sys/"));
}

TEST(CollectSubFoldersTest, SkipsNamesWithBadCharactersAndEverythingBelow) {
  MemoryFileSystem fs;
  for (const std::string name : {"caf\xC3\xA9",
                                 "a\xE2\x80\x93"
                                 "b",
                                 "q?x", "bad\xFF", "ctl\x01", "\xE6\x97\xA5"}) {
    fs.addFolder("/n/" + name + "/below");
  }
  // A name that is not UTF-8 has no bad character: its bytes are walked.
  EXPECT_THAT(Walk(fs, {"/n/"}, false),
              ElementsAre("/n/",
                          "/n/a\xE2\x80\x93"
                          "b/",
                          "/n/bad\xFF/", "/n/caf\xC3\xA9/", "/n/\xE6\x97\xA5/"));
  EXPECT_EQ(Walk(fs, {"/n/"}).size(), 9U);
}

TEST(CollectSubFoldersTest, LeavesOutEveryFolderThatDeniesListingAndWalksTheRest) {
  MemoryFileSystem fs;
  fs.addFolder("/r/d1/hidden1");
  fs.addFolder("/r/d2/hidden2");
  fs.addFolder("/r/ok/deep");
  fs.failListing("/r/d1", ListingError::PermissionDenied);
  fs.failListing("/r/d2", ListingError::PermissionDenied);
  EXPECT_THAT(Walk(fs, {"/r/"}), ElementsAre("/r/", "/r/ok/", "/r/ok/deep/"));
}

TEST(CollectSubFoldersTest, RemovesADeniedStartingFolderAndGoesOnWithTheNext) {
  MemoryFileSystem fs;
  fs.addFolder("/p/p1");
  fs.addFolder("/q/q1");
  fs.failListing("/p", ListingError::PermissionDenied);
  EXPECT_THAT(Walk(fs, {"/p/", "/q/"}), ElementsAre("/q/", "/q/q1/"));
  EXPECT_THAT(Walk(fs, {"/p/"}), IsEmpty());
}

TEST(CollectSubFoldersTest, KeepsSubFoldersListedBeforeAFailure) {
  MemoryFileSystem fs;
  fs.addFolder("/o/a");
  fs.addFolder("/o/b");
  fs.failListing("/o", ListingError::Other, 1);
  EXPECT_THAT(Walk(fs, {"/o/"}), ElementsAre("/o/", "/o/a/"));
  fs.failListing("/o", ListingError::PermissionDenied, 1);
  EXPECT_THAT(Walk(fs, {"/o/"}), ElementsAre("/o/a/"));
}

TEST(CollectSubFoldersTest, GoesLevelByLevelInNameOrder) {
  MemoryFileSystem fs;
  fs.addFolder("/t/y/y1");
  fs.addFolder("/t/X/x2");
  fs.addFolder("/t/X/x1/deep");
  fs.addFolder("/t/a");
  EXPECT_THAT(Walk(fs, {"/t/"}), ElementsAre("/t/", "/t/a/", "/t/X/", "/t/y/", "/t/X/x1/",
                                             "/t/X/x2/", "/t/y/y1/", "/t/X/x1/deep/"));
  EXPECT_THAT(Walk(fs, {"/t/"}, false), ElementsAre("/t/", "/t/a/", "/t/X/", "/t/y/"));
}

TEST(CollectSubFoldersTest, NeverEntersAFolderTwice) {
  MemoryFileSystem fs;
  fs.addFolder("/loop/s/s1");
  fs.addFolder("/elsewhere/e1");
  fs.addLink("/loop/up", "/loop");        // back to the start
  fs.addLink("/loop/s/back", "/loop/s");  // to itself
  fs.addLink("/loop/s/top", "/");         // to the start's parent
  fs.addLink("/loop/s2", "/loop/s");      // a second way to a folder already found
  fs.addLink("/loop/other", "/elsewhere");
  EXPECT_THAT(Walk(fs, {"/loop/"}), ElementsAre("/loop/", "/loop/other/", "/loop/s/",
                                                "/loop/other/e1/", "/loop/s/s1/", "/loop/s/top/"));
}

TEST(CollectSubFoldersTest, PassesOverAFolderThatVanishesDuringTheWalk) {
  MemoryFileSystem fs;
  fs.addFolder("/v/a/a1");
  fs.addFolder("/v/b/b1");
  int calls = 0;
  // The fourth pause comes after both sub-folders of /v have been found.
  const LetEventsRun removeA = [&] {
    if (++calls == 4) {
      fs.remove("/v/a");
    }
  };
  Folders folders{"/v/"};
  CollectSubFolders(fs, folders, true, removeA);
  EXPECT_THAT(folders, ElementsAre("/v/", "/v/b/", "/v/b/b1/"));
}

TEST(CollectSubFoldersTest, LetsEventsRunForEveryFolderAndSubFolder) {
  MemoryFileSystem fs;
  fs.addFolder("/e/a");
  fs.addFolder("/e/b");
  int calls = 0;
  Folders folders{"/e/"};
  CollectSubFolders(fs, folders, true, [&] { ++calls; });
  // /e, its sub-folders a and b, a and b as folders of the next level, and a
  // and b once more when they are taken into the list.
  EXPECT_EQ(calls, 7);
  EXPECT_THAT(folders, ElementsAre("/e/", "/e/a/", "/e/b/"));
}

// A pause answered Leave ends the walk at once: no pause is asked after it,
// the walk says it was left, and gathering files gives nothing.
TEST(CollectSubFoldersTest, ReturnsAtOnceWhenAPauseSaysLeave) {
  MemoryFileSystem fs;
  fs.addFolder("/w/a/a1");
  fs.addFolder("/w/b/b1");
  fs.addFile("/w/a/a1/x.csv");
  for (int leaveAt = 1; leaveAt <= 9; ++leaveAt) {
    int calls = 0;
    const LetEventsRun pause = [&] {
      return ++calls >= leaveAt ? WalkAnswer::Leave : WalkAnswer::Continue;
    };
    Folders folders{"/w/"};
    EXPECT_EQ(CollectSubFolders(fs, folders, true, pause), WalkAnswer::Leave) << leaveAt;
    EXPECT_EQ(calls, leaveAt);
    calls = 0;
    EXPECT_TRUE(GatherFolderFiles(fs, "/w", kAnyFilePattern, pause).empty()) << leaveAt;
    EXPECT_EQ(calls, leaveAt);
  }
  Folders folders{"/w/"};
  EXPECT_EQ(CollectSubFolders(fs, folders, true, [] { return WalkAnswer::Continue; }),
            WalkAnswer::Continue);
  EXPECT_EQ(folders.size(), 5U);
}

TEST(CollectSubFoldersTest, AMissingStartingFolderStaysAndNothingIsThrown) {
  MemoryFileSystem fs;
  EXPECT_THAT(Walk(fs, {"/gone/"}), ElementsAre("/gone/"));
}

std::vector<std::string> NumberedNames(int count) {
  std::vector<std::string> names;
  for (int i = 1; i <= count; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%03d.csv", i);
    names.emplace_back(name);
  }
  return names;
}

class ListFilesCountTest : public testing::TestWithParam<int> {};

// The room for names starts at 100 and grows by 50; the result holds exactly
// the names found, whatever the room was.
TEST_P(ListFilesCountTest, ReturnsEveryMatchingName) {
  MemoryFileSystem fs;
  fs.addFolder("/many");
  const std::vector<std::string> names = NumberedNames(GetParam());
  for (const std::string& name : names) {
    fs.addFile("/many/" + name);
    fs.addFile("/many/" + name + ".txt");
  }
  EXPECT_EQ(ListFiles(fs, "/many", "*.csv"), names);
}

INSTANTIATE_TEST_SUITE_P(Counts, ListFilesCountTest,
                         testing::Values(0, 1, 99, 100, 101, 120, 150, 151, 250));

TEST(ListFilesTest, TakesHiddenAndSystemFilesButNoFolders) {
  MemoryFileSystem fs;
  fs.addFile("/f/plain.csv", 32);
  fs.addFile("/f/hidden.csv", 34);
  fs.addFile("/f/system.csv", 36);
  fs.addFile("/f/both.csv", 6);
  fs.addFile("/f/readonly.csv", 33);
  fs.addFile("/f/linked.csv", 1056);
  fs.addFolder("/f/folder.csv", 16);
  fs.addFolder("/f/hiddenfolder.csv", 18);
  fs.addFile("/f/notes.txt", 32);
  EXPECT_THAT(ListFiles(fs, "/f", "*.csv"), ElementsAre("both.csv", "hidden.csv", "linked.csv",
                                                        "plain.csv", "readonly.csv", "system.csv"));
}

TEST(ListFilesTest, PassesOverFilesThatCannotBeOpened) {
  MemoryFileSystem fs;
  fs.addFile("/f/a.csv");
  fs.addFile("/f/locked.csv", 32, false);
  fs.addFile("/f/z.csv");
  EXPECT_THAT(ListFiles(fs, "/f/", "*.csv"), ElementsAre("a.csv", "z.csv"));
}

TEST(ListFilesTest, KeepsTheSearchOrderWithoutRegardToCase) {
  MemoryFileSystem fs;
  for (const char* name : {"c.csv", "B.CSV", "a.Csv", "D.csv"}) {
    fs.addFile(std::string("/f/") + name);
  }
  EXPECT_THAT(ListFiles(fs, "/f", "*.csv"), ElementsAre("a.Csv", "B.CSV", "c.csv", "D.csv"));
}

TEST(ListFilesTest, GivesNoNamesForAMissingOrDeniedFolder) {
  MemoryFileSystem fs;
  fs.addFile("/denied/a.csv");
  fs.failListing("/denied", ListingError::PermissionDenied);
  EXPECT_THAT(ListFiles(fs, "/missing", "*.csv"), IsEmpty());
  EXPECT_THAT(ListFiles(fs, "/denied", "*.csv"), IsEmpty());
}

TEST(PathTestsTest, IsBadFileNameAndFileCanBeOpened) {
  MemoryFileSystem fs;
  fs.addFile("/d/a.csv");
  fs.addFile("/d/readonly.csv", 33);
  fs.addFile("/d/locked.csv", 32, false);
  fs.addFolder("/d/sub");

  EXPECT_FALSE(IsBadFileName(fs, "/d/a.csv"));
  EXPECT_FALSE(IsBadFileName(fs, "/d/sub"));
  EXPECT_FALSE(IsBadFileName(fs, "/d/locked.csv"));
  EXPECT_TRUE(IsBadFileName(fs, "/d/missing.csv"));

  EXPECT_TRUE(FileCanBeOpened(fs, "/d/a.csv"));
  EXPECT_TRUE(FileCanBeOpened(fs, "/d/readonly.csv"));
  EXPECT_FALSE(FileCanBeOpened(fs, "/d/locked.csv"));
  EXPECT_FALSE(FileCanBeOpened(fs, "/d/sub"));
  EXPECT_FALSE(FileCanBeOpened(fs, "/d/missing.csv"));
}

}  // namespace
}  // namespace rowvane
