// Saves against what other runs, the user and signals do at the same time,
// through the real file system.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/batch/BatchStart.h"
#include "engine/batch/FileConverter.h"
#include "engine/io/AtomicOutputFile.h"
#include "engine/io/ProcessSignals.h"
#include "tests/support/TempDir.h"
#include "tests/support/Unprivileged.h"

namespace rowvane {
namespace {

using testing::ReadFile;
using testing::TempDir;

const std::string kCsv = "id\r\n7";
const std::string kXml = "<XML>\r\n <row>\r\n  <id>7</id>\r\n </row>\r\n</XML>";
// Of the exact form the engine gives its temporary files.
const std::string kGeneratedName = ".rowvane-0a1b2c3d4e5f.tmp";

std::vector<std::string> EntriesOf(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Both ways of holding a temporary file: unnamed, and the named one used
// where the file system refuses unnamed files.
class EachSave : public ::testing::TestWithParam<bool> {
 protected:
  ConversionTuning tuning() const {
    ConversionTuning tuning;
    tuning.unnamedTemporary = GetParam();
    return tuning;
  }
};

std::string SaveName(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "Unnamed" : "Named";
}

struct SweepCase {
  const char* name;
  std::string entry;
  enum class Kind { File, Folder, Link } kind = Kind::File;
  bool lockedByALiveRun = false;
  bool namedAsInput = false;
  bool removed = false;
};

TEST(StartBatch, RemovesOnlyAbandonedTemporaryFilesOfTheGeneratedForm) {
  using Kind = SweepCase::Kind;
  const SweepCase cases[] = {
      {"Abandoned", kGeneratedName, Kind::File, false, false, true},
      {"UsersOwnFile", ".rowvane-notes.tmp"},
      {"AnInputOfTheRun", kGeneratedName, Kind::File, false, true},
      {"StillBeingWritten", kGeneratedName, Kind::File, true},
      {"CapitalLetters", ".rowvane-0A1B2C3D4E5F.tmp"},
      {"OneLetterShort", ".rowvane-0a1b2c3d4e5.tmp"},
      {"BeingCreated", ".rowvane-0a1b2c3d4e5f.new"},
      {"Folder", kGeneratedName, Kind::Folder},
      {"Link", kGeneratedName, Kind::Link},
  };
  for (const SweepCase& sweep : cases) {
    const TempDir out;
    const std::string path = out / sweep.entry;
    const std::string linkTarget = out.write("target", "precious");
    switch (sweep.kind) {
      case Kind::File:
        out.write(sweep.entry, "precious");
        break;
      case Kind::Folder:
        out.makeFolder(sweep.entry);
        break;
      case Kind::Link:
        ASSERT_EQ(::symlink(linkTarget.c_str(), path.c_str()), 0);
        break;
    }
    const int held = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (sweep.lockedByALiveRun) {
      ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    }
    // Named by another spelling of the same path, as a user may type it.
    const std::vector<std::string> inputs =
        sweep.namedAsInput ? std::vector<std::string>{out / ("./" + sweep.entry)}
                           : std::vector<std::string>{};
    EXPECT_TRUE(StartBatch(out.path().string(), inputs).ready()) << sweep.name;
    EXPECT_EQ(!std::filesystem::exists(std::filesystem::symlink_status(path)), sweep.removed)
        << sweep.name;
    EXPECT_EQ(ReadFile(linkTarget), "precious") << sweep.name;
    ::close(held);
  }
}

TEST(StartBatch, TellsWhyTheOutputFolderCannotBeUsed) {
  const TempDir dir;
  const std::string file = dir.write("file.txt", "x");
  using State = OutputFolderState;
  const struct {
    std::string folder;
    State state;
    std::string reason;
  } cases[] = {
      {dir.path().string(), State::Ready, ""},
      {dir.path().string() + "/", State::Ready, ""},
      {dir / "missing", State::Missing, "No such file or directory"},
      {"", State::Missing, "No such file or directory"},
      {std::string("/tmp\0x", 6), State::Missing, "No such file or directory"},
      {file, State::NotAFolder, "Not a directory"},
      {file + "/below", State::Missing, "Not a directory"},
      {dir / std::string(300, 'a'), State::Unusable, "File name too long"},
  };
  for (const auto& expected : cases) {
    const OutputFolderVerdict verdict = StartBatch(expected.folder, {});
    EXPECT_EQ(verdict.state, expected.state) << expected.folder;
    EXPECT_EQ(verdict.reason, expected.reason) << expected.folder;
  }
}

// A second run into the same folder starts, sweeps and saves its own file
// while the first holds its finished output just before the rename.
std::string SaveWhileAnotherRunStarts(const std::string& root, ConversionTuning tuning) {
  const std::string x = root + "/x.csv";
  const std::string y = root + "/y.csv";
  const ConversionSettings settings;
  const std::string outputFolder = root + "/out";
  ConversionObserver observer;
  FileOutcome other;
  const ConversionTuning plain = tuning;
  tuning.beforeRename = [&] {
    if (StartBatch(outputFolder, {y}).ready()) {
      other = ConvertFile(y, outputFolder, settings, observer, plain);
    }
  };
  const FileOutcome first = ConvertFile(x, outputFolder, settings, observer, tuning);
  std::string problems;
  if (first.status != FileOutcome::Status::Converted || ReadFile(outputFolder + "/x.xml") != kXml) {
    problems += "x lost: " + (first.failures.empty() ? "" : first.failures[0].message) + "; ";
  }
  if (other.status != FileOutcome::Status::Converted || ReadFile(outputFolder + "/y.xml") != kXml) {
    problems += "y lost; ";
  }
  if (EntriesOf(outputFolder) != std::vector<std::string>{"x.xml", "y.xml"}) {
    problems += "stray files; ";
  }
  return problems;
}

TEST_P(EachSave, AnotherRunStartingDuringTheSaveLosesNothing) {
  const TempDir root;
  root.write("x.csv", kCsv);
  root.write("y.csv", kCsv);
  root.makeFolder("out");
  EXPECT_EQ(SaveWhileAnotherRunStarts(root.path().string(), tuning()), "");

  // The same for a user whose files any later run may find in the folder.
  std::filesystem::remove(root / "out/x.xml");
  std::filesystem::remove(root / "out/y.xml");
  std::filesystem::permissions(root.path(), std::filesystem::perms::all);
  std::filesystem::permissions(root / "out", std::filesystem::perms::all);
  const std::string folder = root.path().string();
  const ConversionTuning asked = tuning();
  EXPECT_EQ(testing::RunAsNobody([&] { return SaveWhileAnotherRunStarts(folder, asked); }), "");
}

TEST_P(EachSave, OutputFolderSwappedDuringTheSaveOrphansNothing) {
  const struct {
    const char* name;
    std::function<void(const std::filesystem::path&)> putInPlace;
  } swaps[] = {
      {"Link",
       [](const auto& out) { std::filesystem::create_directory_symlink("elsewhere", out); }},
      {"NewFolder", [](const auto& out) { std::filesystem::create_directory(out); }},
  };
  for (const auto& swap : swaps) {
    const TempDir root;
    const std::string input = root.write("x.csv", kCsv);
    const auto out = root.path() / "out";
    const auto old = root.path() / "out.old";
    root.makeFolder("out");
    root.makeFolder("elsewhere");
    ConversionTuning tuning = this->tuning();
    tuning.beforeRename = [&] {
      std::filesystem::rename(out, old);
      swap.putInPlace(out);
    };
    ConversionObserver observer;
    EXPECT_EQ(ConvertFile(input, out.string(), ConversionSettings{}, observer, tuning).status,
              FileOutcome::Status::Converted)
        << swap.name;
    // The output lands in the folder that was opened for it.
    EXPECT_EQ(EntriesOf(old), std::vector<std::string>{"x.xml"}) << swap.name;
    EXPECT_EQ(ReadFile(old / "x.xml"), kXml) << swap.name;
    EXPECT_TRUE(EntriesOf(root.path() / "elsewhere").empty()) << swap.name;
    EXPECT_EQ(EntriesOf(out).empty(), true) << swap.name;
  }
}

TEST(AtomicOutputFile, NewOutputNeverTakesSpecialBitsOrALinkTargetsMode) {
  const mode_t previousMask = ::umask(022);
  const struct {
    const char* name;
    bool link;
    mode_t existing;  // 0: no earlier output
    mode_t expected;
  } cases[] = {
      {"NoEarlierOutput", false, 0, 0644}, {"Plain", false, 0640, 0640},
      {"SetUserId", false, 04755, 0755},   {"SetGroupId", false, 02770, 0770},
      {"Sticky", false, 01644, 0644},      {"LinkToSetUserId", true, 04755, 0644},
      {"LinkToPrivate", true, 0600, 0644},
  };
  for (const bool unnamed : {true, false}) {
    for (const auto& mode : cases) {
      const TempDir dir;
      const std::string target = dir / "x.xml";
      const std::string pointedTo = dir / "s";
      if (mode.existing != 0) {
        dir.write(mode.link ? "s" : "x.xml", "old");
        ASSERT_EQ(::chmod(mode.link ? pointedTo.c_str() : target.c_str(), mode.existing), 0);
      }
      if (mode.link) {
        ASSERT_EQ(::symlink(pointedTo.c_str(), target.c_str()), 0);
      }
      AtomicOutputFile output(
          target,
          {.unnamedTemporary = unnamed, .beforeRename = {}, .folder = {}, .neverReplace = {}});
      output.write("new", 3);
      output.commit();
      struct stat info {};
      ASSERT_EQ(::lstat(target.c_str(), &info), 0);
      EXPECT_TRUE(S_ISREG(info.st_mode)) << mode.name;
      EXPECT_EQ(info.st_mode & 07777, mode.expected) << mode.name << " unnamed " << unnamed;
      EXPECT_EQ(ReadFile(target), "new") << mode.name;
      if (mode.link) {
        ASSERT_EQ(::stat(pointedTo.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, mode.existing) << mode.name;
        EXPECT_EQ(ReadFile(pointedTo), "old") << mode.name;
      }
    }
  }
  ::umask(previousMask);
}

TEST(AtomicOutputFile, LinkToAReadOnlyFileIsStillRefused) {
  const TempDir dir;
  const std::string pointedTo = dir.write("s", "old");
  ASSERT_EQ(::chmod(pointedTo.c_str(), 0444), 0);
  const std::string target = dir / "x.xml";
  ASSERT_EQ(::symlink(pointedTo.c_str(), target.c_str()), 0);
  EXPECT_THROW(AtomicOutputFile(target, {}), ConversionError);
  EXPECT_TRUE(std::filesystem::is_symlink(target));
  EXPECT_EQ(EntriesOf(dir.path()), (std::vector<std::string>{"s", "x.xml"}));
}

// In a child that asked for its temporary files to be removed on these
// signals: a signal arrives while an output is written or just before it
// takes its name. Gives how the child ended.
int SignalDuringSave(const std::string& target, bool unnamed, int signal, bool atRename) {
  const pid_t child = ::fork();
  if (child == 0) {
    RemoveTemporaryFilesOnTermination();
    AtomicOutputFile output(target, {.unnamedTemporary = unnamed,
                                     .beforeRename = [&] { ::raise(signal); },
                                     .folder = {},
                                     .neverReplace = {}});
    output.write("partial", 7);
    if (!atRename) {
      ::raise(signal);
    }
    output.commit();
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return status;
}

TEST_P(EachSave, TerminationSignalLeavesNoTemporaryFileAndEndsBySignal) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    for (const bool atRename : {false, true}) {
      const TempDir out;
      const std::string earlier = out.write("x.xml", "earlier");
      const int status = SignalDuringSave(out / "x.xml", GetParam(), signal, atRename);
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal)
          << signal << " at rename " << atRename << " status " << status;
      EXPECT_EQ(out.entries(), std::vector<std::string>{"x.xml"}) << signal << " " << atRename;
      EXPECT_EQ(ReadFile(earlier), "earlier");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Save, EachSave, ::testing::Bool(), SaveName);

}  // namespace
}  // namespace rowvane
