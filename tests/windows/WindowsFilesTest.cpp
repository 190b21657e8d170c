// The engine's files on Windows, through the real file API (run under Wine).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/Files.h"
#include "tests/windows/WindowsTestFolder.h"

namespace rowvane {
namespace {

using testing::MakeFolderForTest;
using testing::WindowsTestFolder;

const AtomicOutputFile::Options kPlain{.syncFile = true,
                                       .syncFolder = true,
                                       .unnamedTemporary = true,
                                       .beforeRename = {},
                                       .folder = {},
                                       .neverReplace = {}};

std::string ReadWhole(const std::string& path) {
  InputFile file(path);
  std::string bytes;
  char buffer[4096];
  for (std::size_t count = file.read(buffer, sizeof buffer); count > 0;
       count = file.read(buffer, sizeof buffer)) {
    bytes.append(buffer, count);
  }
  return bytes;
}

void Save(const std::string& target, const std::string& bytes) {
  AtomicOutputFile output(target, kPlain);
  output.write(bytes.data(), bytes.size());
  output.commit();
}

std::string FailureOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const ConversionError& error) {
    return error.what();
  }
  return "no failure";
}

const char* const kUnicodeNames[] = {
    "Zo\xC3\xAB \xE6\x9D\xB1\xE4\xBA\xAC.csv",  // Zoë 東京
    "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.csv",
    "emoji \xF0\x9F\x98\x80.csv",
    "a b (1) [x] ; #.csv",
    "UPPER lower.CSV",
};

TEST(WindowsFiles, UnicodeNamesAreReadAndWrittenThroughTheWideApi) {
  const WindowsTestFolder folder;
  for (const char* name : kUnicodeNames) {
    const std::string path = folder.path() + "/" + name;
    folder.writeWide(name, "a,b\r\n1,2\r\n");
    EXPECT_EQ(ReadWhole(path), "a,b\r\n1,2\r\n") << name;
    const std::string output = folder.path() + "\\" + std::string(name) + ".xml";
    Save(output, name);
    EXPECT_EQ(folder.readWide(std::string(name) + ".xml"), name) << name;
  }
  const std::vector<std::string> names = folder.names();
  EXPECT_EQ(names.size(), 2 * std::size(kUnicodeNames));
  EXPECT_TRUE(std::none_of(names.begin(), names.end(),
                           [](const std::string& n) { return n.starts_with(".rowvane-"); }));
}

TEST(WindowsFiles, PathsLongerThanTheOldLimitWork) {
  const WindowsTestFolder folder;
  std::string deep = folder.path();
  for (int level = 0; level < 8; ++level) {
    deep += "\\" + std::string(40, static_cast<char>('a' + level));
    ASSERT_EQ(MakeFolderForTest(deep), 0) << deep.size();
  }
  ASSERT_GT(deep.size(), 300U);
  for (const char* separator : {"\\", "/"}) {
    const std::string target = deep + separator + "long.xml";
    Save(target, "deep");
    EXPECT_EQ(ReadWhole(target), "deep");
    EXPECT_TRUE(PathExists(target));
  }
}

TEST(WindowsFiles, ReservedAndUnkeepableOutputNamesAreRefused) {
  const WindowsTestFolder folder;
  for (const char* name :
       {"CON", "con.xml", "NUL.xml", "COM1.xml", "LPT3", "AUX.tar.xml", "trailing.", "trailing "}) {
    const std::string problem = FailureOf([&] { Save(folder.path() + "/" + name, "x"); });
    EXPECT_TRUE(problem.starts_with("the output name ")) << name << ": " << problem;
  }
  EXPECT_TRUE(folder.names().empty());
}

TEST(WindowsFiles, AFileHeldUnsharedIsInUseByAnotherProgram) {
  const WindowsTestFolder folder;
  folder.writeWide("in.csv", "a\r\n");
  folder.writeWide("out.xml", "old");
  struct Case {
    const char* name;
    std::function<void()> action;
  };
  const Case cases[] = {
      {"in.csv", [&] { ReadWhole(folder.path() + "/in.csv"); }},
      {"out.xml", [&] { Save(folder.path() + "/out.xml", "new"); }},
  };
  for (const Case& each : cases) {
    const auto held = folder.holdUnshared(each.name);
    EXPECT_EQ(FailureOf(each.action), kInUseByAnotherProgram) << each.name;
  }
  EXPECT_EQ(folder.readWide("out.xml"), "old");
  EXPECT_EQ(ReadWhole(folder.path() + "/in.csv"), "a\r\n");  // free again
}

TEST(WindowsFiles, AnEarlierOutputStaysWhenTheNewOneIsNotCommitted) {
  const WindowsTestFolder folder;
  folder.writeWide("out.xml", "earlier");
  {
    AtomicOutputFile output(folder.path() + "/out.xml", kPlain);
    output.write("half", 4);
    EXPECT_EQ(folder.names().size(), 2U);  // the temporary file beside it
  }
  EXPECT_EQ(folder.readWide("out.xml"), "earlier");
  EXPECT_EQ(folder.names(), std::vector<std::string>{"out.xml"});
}

TEST(WindowsFiles, CommitReplacesWholeAndDiscardStartsOver) {
  const WindowsTestFolder folder;
  folder.writeWide("out.xml", std::string(100000, 'o'));
  for (const bool sync : {true, false}) {
    AtomicOutputFile::Options options = kPlain;
    options.syncFile = sync;
    AtomicOutputFile output(folder.path() + "/out.xml", options);
    output.write("wrong", 5);
    output.discard();
    output.write("right", 5);
    EXPECT_EQ(output.bytesWritten(), 5U);
    output.commit();
    EXPECT_EQ(folder.readWide("out.xml"), "right");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"out.xml"});
  }
}

TEST(WindowsFiles, ReadOnlyFoldersAndTheInputItselfAreNeverReplaced) {
  const WindowsTestFolder folder;
  folder.writeWide("locked.xml", "keep");
  folder.setAttributes("locked.xml", FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(FailureOf([&] { Save(folder.path() + "/locked.xml", "x"); }), SystemMessage(EACCES));
  folder.makeFolder("sub");
  EXPECT_EQ(FailureOf([&] { Save(folder.path() + "/sub", "x"); }), SystemMessage(EISDIR));
  folder.writeWide("self.csv", "a\r\n");
  const InputFile input(folder.path() + "/self.csv");
  const std::string replaced = FailureOf([&] {
    AtomicOutputFile::Options options = kPlain;
    options.neverReplace = std::pair{input.device(), input.inode()};
    AtomicOutputFile output(folder.path() + "\\self.csv", options);
  });
  EXPECT_EQ(replaced, kOutputWouldReplaceInput);
  folder.setAttributes("locked.xml", FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(folder.readWide("locked.xml"), "keep");
}

TEST(WindowsFiles, CleanUpTakesOnlyAbandonedTemporaryFilesOfItsOwnNames) {
  const WindowsTestFolder folder;
  folder.writeWide(".rowvane-abcdefghijkl.tmp", "abandoned");
  folder.writeWide(".rowvane-short.tmp", "not ours");
  folder.writeWide("data.csv", "a\r\n");
  AtomicOutputFile live(folder.path() + "/out.xml", kPlain);
  EXPECT_EQ(RemoveAbandonedTemporaryFiles(folder.path()), 1U);
  const std::vector<std::string> names = folder.names();
  EXPECT_EQ(names.size(), 3U);  // the live run's, the foreign one and the data
  EXPECT_EQ(std::count(names.begin(), names.end(), ".rowvane-abcdefghijkl.tmp"), 0);
}

TEST(WindowsFiles, FolderOfKnowsBothSeparatorsAndDrives) {
  struct Case {
    const char* path;
    const char* folder;
  };
  const Case cases[] = {
      {"out.xml", "."},          {"C:out.xml", "C:"},
      {"C:\\out.xml", "C:\\"},   {"C:/out.xml", "C:/"},
      {"a\\b\\out.xml", "a\\b"}, {"a/b/out.xml", "a/b"},
      {"a\\b/out.xml", "a\\b"},  {"\\\\host\\share\\x", "\\\\host\\share"},
  };
  for (const Case& each : cases) {
    EXPECT_EQ(FolderOf(each.path), each.folder) << each.path;
  }
}

TEST(WindowsFiles, InputsThatAreNoFilesAreRefused) {
  const WindowsTestFolder folder;
  folder.makeFolder("sub");
  EXPECT_THROW(InputFile(folder.path() + "/missing.csv"), InputMissing);
  EXPECT_EQ(FailureOf([&] { InputFile(folder.path() + "/sub"); }), SystemMessage(EISDIR));
  EXPECT_THROW(InputFile(std::string("bad\xFF.csv")), InputMissing);
  const RegularFileBytes small = ReadRegularFile(folder.path() + "/sub", 10);
  EXPECT_EQ(small.problem, SystemMessage(EISDIR));
  folder.writeWide("big.txt", std::string(2000, 'x'));
  EXPECT_TRUE(ReadRegularFile(folder.path() + "/big.txt", 1000).tooLarge);
  EXPECT_EQ(ReadRegularFile(folder.path() + "/big.txt", 2000).bytes.size(), 2000U);
}

TEST(WindowsFiles, ErrorsReadAsOnLinux) {
  struct Case {
    DWORD error;
    int number;
  };
  const Case cases[] = {
      {ERROR_FILE_NOT_FOUND, ENOENT}, {ERROR_PATH_NOT_FOUND, ENOENT},
      {ERROR_ACCESS_DENIED, EACCES},  {ERROR_DISK_FULL, ENOSPC},
      {ERROR_FILE_EXISTS, EEXIST},    {ERROR_SHARING_VIOLATION, EBUSY},
  };
  for (const Case& each : cases) {
    EXPECT_EQ(ErrnoOfWindowsError(each.error), each.number) << each.error;
  }
  EXPECT_EQ(WindowsErrorMessage(ERROR_DISK_FULL), "No space left on device");
  EXPECT_EQ(WindowsErrorMessage(ERROR_LOCK_VIOLATION), kInUseByAnotherProgram);
}

}  // namespace
}  // namespace rowvane
