// The folder walk's file layer on Windows, through the real file API.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "filelist/AddFolder.h"
#include "filelist/GatherFolderFiles.h"
#include "filelist/WindowsFileSystem.h"
#include "tests/windows/WindowsTestFolder.h"

namespace rowvane {
namespace {

using testing::WindowsTestFolder;

TEST(WindowsFileSystem, AttributesAreWindowsOwn) {
  const WindowsTestFolder folder;
  folder.writeWide("plain.csv", "a");
  folder.writeWide("hidden.csv", "a");
  folder.writeWide("system.csv", "a");
  folder.writeWide("readonly.csv", "a");
  folder.makeFolder("sub");
  folder.makeFolder("protected");
  folder.setAttributes("plain.csv", FILE_ATTRIBUTE_ARCHIVE);
  folder.setAttributes("hidden.csv", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  // Wine keeps the archive bit on every file: set it everywhere, to compare alike.
  folder.setAttributes("system.csv", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
  folder.setAttributes("readonly.csv", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  folder.setAttributes("protected",
                       FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  struct Case {
    std::string path;
    std::optional<Attributes> expected;
  };
  const Case cases[] = {
      {folder / "plain.csv", attribute::kArchive},
      {folder / "hidden.csv", attribute::kHiddenArchiveFile},
      {folder / "system.csv", attribute::kSystem | attribute::kArchive},
      {folder / "readonly.csv", attribute::kReadOnly | attribute::kArchive},
      {folder / "sub", attribute::kDirectory},
      {folder.path() + "/sub/", attribute::kDirectory},
      {folder / "protected", attribute::kProtectedFolder},
      {folder.path() + "/plain.csv/", std::nullopt},
      {folder / "missing.csv", std::nullopt},
      {std::string("bad\xFF"), std::nullopt},
  };
  const WindowsFileSystem fileSystem;
  for (const Case& each : cases) {
    EXPECT_EQ(fileSystem.attributesOf(each.path), each.expected) << each.path;
  }
}

TEST(WindowsFileSystem, SearchMatchesWithoutCaseAndHonoursTheMask) {
  const WindowsTestFolder folder;
  for (const char* name : {"a.csv", "B.CSV", "c.Csv", "d.txt", "Zo\xC3\xAB.csv", "h.csv"}) {
    folder.writeWide(name, "x");
  }
  folder.setAttributes("h.csv", FILE_ATTRIBUTE_HIDDEN);
  folder.makeFolder("folder.csv");
  const WindowsFileSystem fileSystem;
  const std::vector<std::string> plain = fileSystem.search(folder.path(), "*.csv", 0);
  EXPECT_EQ(plain, (std::vector<std::string>{"a.csv", "B.CSV", "c.Csv", "Zo\xC3\xAB.csv"}));
  const std::vector<std::string> withHidden =
      fileSystem.search(folder.path(), "*.CSV", attribute::kFilesOfAnyKind);
  EXPECT_EQ(withHidden.size(), 5U);
  const std::vector<std::string> withFolders =
      fileSystem.search(folder.path() + "\\", "*.csv", attribute::kVisibleFoldersAndFiles);
  EXPECT_EQ(withFolders.size(), 5U);
  EXPECT_TRUE(fileSystem.search(folder / "missing", "*", 0).empty());
}

TEST(WindowsFileSystem, SubFoldersIdentitiesAndRoots) {
  const WindowsTestFolder folder;
  folder.makeFolder("one");
  folder.makeFolder("Two \xE6\x9D\xB1");
  folder.writeWide("file.csv", "x");
  const WindowsFileSystem fileSystem;
  const SubFolderListing listing = fileSystem.subFoldersOf(folder.path());
  EXPECT_EQ(listing.error, ListingError::None);
  EXPECT_EQ(listing.names, (std::vector<std::string>{"one", "Two \xE6\x9D\xB1"}));
  EXPECT_EQ(fileSystem.subFoldersOf(folder / "missing").error, ListingError::Other);
  EXPECT_EQ(fileSystem.identityOf(folder / "one"),
            fileSystem.identityOf(folder.path() + "/Two \xE6\x9D\xB1/../one/"));
  EXPECT_NE(fileSystem.identityOf(folder / "one"), fileSystem.identityOf(folder.path()));
  EXPECT_EQ(fileSystem.identityOf(folder / "file.csv"), std::nullopt);
  EXPECT_TRUE(fileSystem.canOpen(folder / "file.csv"));
  EXPECT_FALSE(fileSystem.canOpen(folder / "one"));
  EXPECT_TRUE(fileSystem.isRootFolder("C:\\"));
  EXPECT_FALSE(fileSystem.isRootFolder(folder.path()));
}

// The walk of -r: hidden and system folders and files are left out by their
// attributes, every CSV below is found in Windows' own order.
TEST(WindowsFileSystem, TheWalkLeavesOutHiddenAndSystemEntries) {
  const WindowsTestFolder folder;
  folder.makeFolder("data");
  folder.makeFolder("data\\keep");
  folder.makeFolder("data\\secret");
  folder.makeFolder("data\\hidden");
  folder.writeWide("data\\top.csv", "x");
  folder.writeWide("data\\keep\\in.csv", "x");
  folder.writeWide("data\\keep\\ghost.csv", "x");
  folder.writeWide("data\\secret\\no.csv", "x");
  folder.writeWide("data\\hidden\\maybe.csv", "x");
  folder.setAttributes("data\\secret",
                       FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  folder.setAttributes("data\\keep\\ghost.csv", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  const WindowsFileSystem fileSystem;
  std::vector<std::string> folders{folder.path() + "/data/"};
  CollectSubFolders(fileSystem, folders, true, {});
  const std::vector<std::string> files = FilesOfFolders(fileSystem, folders, "*.csv");
  std::vector<std::string> found;
  for (const std::string& file : files) {
    found.push_back(file.substr(folder.path().size() + 1));
  }
  EXPECT_EQ(found, (std::vector<std::string>{"data/top.csv", "data/hidden/maybe.csv",
                                             "data/keep/in.csv"}));
}

}  // namespace
}  // namespace rowvane
