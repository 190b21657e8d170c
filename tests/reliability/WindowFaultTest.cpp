// The window's conversion run under disk, file-system and input faults: every
// run must leave the inputs as they were, every output either the reference
// conversion or what stood there before, no temporary file, one "Application
// Error" report per failed file and "Done." at the end.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/app/WindowHarness.h"
#include "tests/reliability/FaultPlan.h"
#include "tests/reliability/FileStamp.h"
#include "tests/reliability/ImmutableFlag.h"
#include "tests/reliability/RunRecord.h"
#include "tests/reliability/SmallDisk.h"
#include "tests/reliability/Watchdog.h"
#include "tests/reliability/WindowBatch.h"
#include "tests/reliability/WindowRunVerdict.h"

namespace rowvane::reliability {
namespace {

using app::testing::WindowHarness;

void ClearFolder(const std::string& folder) {
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

// ---------------------------------------------------------- the window's run

/// A window with real disk writes (fsync included), as the program has it.
struct WindowUnderTest {
  WindowHarness harness;
  std::unique_ptr<app::MainWindow> form;

  WindowUnderTest() {
    app::WindowServices services = harness.services();
    services.tuning = rowvane::ConversionTuning{};
    form = std::make_unique<app::MainWindow>(services);
  }

  void list(const std::string& folder) {
    for (const InputSpec& input : Batch()) {
      app::testing::Controls(*form).ListView1.listItems().Add(
          QString::fromStdString(folder + "/" + input.name));
    }
  }

  void convertInto(const std::string& folder) {
    app::testing::Controls(*form).Text1.setText(QString::fromStdString(folder));
    app::testing::Controls(*form).PushButton7.click();
  }
};

/// The reference conversion: a fault-free run of the window into a clean folder.
const std::map<std::string, FileStamp>& Reference() {
  static const std::map<std::string, FileStamp> reference = [] {
    const QTemporaryDir scratch;
    const std::string in = scratch.filePath("in").toStdString();
    const std::string out = scratch.filePath("out").toStdString();
    QDir().mkpath(QString::fromStdString(in));
    QDir().mkpath(QString::fromStdString(out));
    CopyBatchInto(in);
    WindowUnderTest window;
    window.list(in);
    window.convertInto(out);
    return StampFolder(out);
  }();
  return reference;
}

std::optional<FileStamp> ReferenceOf(const std::string& input) {
  const auto found = Reference().find(OutputNameOf(input));
  return found == Reference().end() ? std::nullopt : std::optional(found->second);
}

// -------------------------------------------------------------- the scenarios

/// Folders of one run, as a scenario's preparation sees them.
struct RunFolders {
  std::string in;
  std::string out;
};

struct WindowScenario {
  int faultClass;
  std::string name;
  bool onSmallDisk;  // the output folder lies on the suite's small tmpfs
  std::function<Arrangement(const RunFolders&)> arrange;
};

// Names the scenario when a test fails, instead of dumping its bytes.
[[maybe_unused]] void PrintTo(const WindowScenario& scenario, std::ostream* out) {
  *out << scenario.name;
}

/// Expect `outcome` for the first listed file whose reference output holds byte `offset`.
Arrangement FailFirstHolding(std::uint64_t offset, Expect outcome, std::string plan) {
  Arrangement arrangement;
  arrangement.faultPlan = std::move(plan);
  for (const InputSpec& input : Batch()) {
    const auto reference = ReferenceOf(input.name);
    if (reference && reference->size > offset) {
      arrangement.expect[input.name] = outcome;
      break;
    }
  }
  return arrangement;
}

std::uint64_t LastByteOf(const std::string& input) {
  const auto reference = ReferenceOf(input);
  return reference ? reference->size - 1 : 0;
}

// The output's temporary file has no name while it is written: the system
// shows it as "#" and its inode number in the output folder. Qt's own saves
// (the settings) look alike in their folders, so the output folder is named.
std::string TemporaryOutputs(const RunFolders& folders) {
  return folders.out + "/#";
}

Arrangement WriteFailsAtOffset(const RunFolders& folders, std::uint64_t offset) {
  return FailFirstHolding(offset, Expect::FailsWrite,
                          "call=write,path=" + TemporaryOutputs(folders) +
                              ",error=ENOSPC,offset=" + std::to_string(offset));
}

Arrangement ReadFailsAt(const std::string& input, std::uint64_t offset) {
  Arrangement arrangement;
  arrangement.faultPlan = "call=read,end=/" + input + ",offset=" + std::to_string(offset);
  arrangement.expect[input] = Expect::FailsRead;
  return arrangement;
}

/// Every file with output fails at 256 (the empty one writes nothing).
Arrangement EveryWriteFails(std::string plan) {
  Arrangement arrangement;
  arrangement.faultPlan = std::move(plan);
  for (const InputSpec& input : Batch()) {
    if (ReferenceOf(input.name)) {
      arrangement.expect[input.name] = Expect::FailsWrite;
    }
  }
  return arrangement;
}

Arrangement FirstFileFails(std::string plan) {
  Arrangement arrangement;
  arrangement.faultPlan = std::move(plan);
  arrangement.expect["a.csv"] = Expect::FailsWrite;
  return arrangement;
}

Arrangement ReadOnlyVictimOutput(const RunFolders& folders) {
  Arrangement arrangement;
  ::chmod((folders.out + "/victim.xml").c_str(), 0444);
  arrangement.expect["victim.csv"] = Expect::FailsWrite;
  arrangement.faultIsInjected = false;
  return arrangement;
}

std::vector<WindowScenario> WriteOffsetScenarios() {
  std::vector<WindowScenario> scenarios;
  const std::vector<std::pair<std::string, std::function<std::uint64_t()>>> offsets{
      {"0", [] { return 0; }},
      {"1", [] { return 1; }},
      {"4095", [] { return 4095; }},
      {"4096", [] { return 4096; }},
      {"16383", [] { return 16383; }},
      {"16384", [] { return 16384; }},
      {"VictimLastByte", [] { return LastByteOf("victim.csv"); }},
      {"BigBlockEnd", [] { return (std::uint64_t{1} << 20) - 1; }},
      {"BigSecondBlock", [] { return std::uint64_t{1} << 20; }},
      {"BigLastByte", [] { return LastByteOf("big.csv"); }},
  };
  for (const auto& [label, offset] : offsets) {
    scenarios.push_back(
        {2, "WriteFailsAtByte" + label, false, [offset = offset](const RunFolders& folders) {
           return WriteFailsAtOffset(folders, offset());
         }});
  }
  return scenarios;
}

std::vector<WindowScenario> Scenarios() {
  std::vector<WindowScenario> scenarios{
      // 1: disk full
      {1, "DiskFullBeforeTheRun", true,
       [](const RunFolders& folders) {
         FillFolder(folders.out);
         Arrangement arrangement = EveryWriteFails("");
         arrangement.faultIsInjected = false;
         return arrangement;
       }},
      {1, "DiskFullDuringTheRun", true,
       [](const RunFolders&) {
         // 64 KiB hold the small outputs but neither the victim's nor big's.
         Arrangement arrangement;
         arrangement.expect["victim.csv"] = Expect::FailsWrite;
         arrangement.expect["big.csv"] = Expect::FailsWrite;
         arrangement.faultIsInjected = false;
         return arrangement;
       }},
      // 2: failing system calls on the way to the output
      {2, "WriteInterruptedOnceIsRetried", false,
       [](const RunFolders& folders) {
         Arrangement arrangement;
         arrangement.faultPlan = "call=write,path=" + TemporaryOutputs(folders) + ",error=EINTR";
         return arrangement;
       }},
      {2, "EveryWriteFailsWithNoSpace", false,
       [](const RunFolders& folders) {
         return EveryWriteFails("call=write,path=" + TemporaryOutputs(folders) +
                                ",error=ENOSPC,times=0");
       }},
      {2, "CreatingTheTemporaryFileFailsWithTooManyFiles", false,
       [](const RunFolders&) {
         // Created unnamed, relative to the output folder opened for it.
         return FirstFileFails("call=open,end=.,error=EMFILE");
       }},
      {2, "FsyncOfTheOutputFails", false,
       [](const RunFolders& folders) {
         return FirstFileFails("call=fsync,path=" + TemporaryOutputs(folders) + ",error=EIO");
       }},
      {2, "CloseOfTheOutputFails", false,
       [](const RunFolders& folders) {
         // A duplicate of the temporary file is closed before its rename: a
         // failed write.
         return FirstFileFails("call=close,path=" + TemporaryOutputs(folders) + ",error=EIO");
       }},
      {2, "RenameOntoTheTargetFails", false,
       [](const RunFolders&) { return FirstFileFails("call=rename,path=.rowvane-,error=EIO"); }},
      {2, "FsyncOfTheOutputFolderFails", false,
       [](const RunFolders& folders) {
         // After the rename the new output stands; a report then must not
         // claim that the earlier one was kept. Either verdict is sound as
         // long as report and file agree.
         Arrangement arrangement;
         arrangement.faultPlan = "call=fsync,end=" + folders.out + ",error=EIO";
         arrangement.expect["a.csv"] = Expect::Either;
         return arrangement;
       }},
      {2, "BackgroundWriteFailsForTheLargeFile", false,
       [](const RunFolders& folders) {
         return FailFirstHolding(3 << 20, Expect::FailsWrite,
                                 "call=write,path=" + TemporaryOutputs(folders) +
                                     ",error=EIO,times=0,offset=" + std::to_string(3 << 20));
       }},
      // 3: reading the input fails midway
      {3, "ReadFailsAtTheFirstByte", false,
       [](const RunFolders&) { return ReadFailsAt("victim.csv", 0); }},
      {3, "ReadFailsAtByte1", false,
       [](const RunFolders&) { return ReadFailsAt("victim.csv", 1); }},
      {3, "ReadFailsAtByte4096", false,
       [](const RunFolders&) { return ReadFailsAt("victim.csv", 4096); }},
      {3, "ReadFailsNearTheEnd", false,
       [](const RunFolders&) { return ReadFailsAt("victim.csv", Rows(1200, 8).size() - 3); }},
      {3, "ReadOfTheLargeFileFailsMidway", false,
       [](const RunFolders&) { return ReadFailsAt("big.csv", 2'500'000); }},
      // 4: outputs that may not be replaced
      {4, "ImmutableOutputFile", false,
       [](const RunFolders& folders) {
         Arrangement arrangement;
         arrangement.immutable.push_back(
             std::make_unique<ImmutableFlag>(folders.out + "/victim.xml"));
         arrangement.expect["victim.csv"] = Expect::FailsWrite;
         arrangement.faultIsInjected = false;
         return arrangement;
       }},
      {4, "ImmutableOutputFolder", false,
       [](const RunFolders& folders) {
         Arrangement arrangement = EveryWriteFails("");
         arrangement.immutable.push_back(std::make_unique<ImmutableFlag>(folders.out));
         arrangement.faultIsInjected = false;
         return arrangement;
       }},
      {4, "ReadOnlyOutputFile", false, ReadOnlyVictimOutput},
      {4, "UnprivilegedReadOnlyOutputFile", false, ReadOnlyVictimOutput},
      {4, "UnprivilegedReadOnlyOutputFolder", false,
       [](const RunFolders& folders) {
         Arrangement arrangement = EveryWriteFails("");
         ::chmod(folders.out.c_str(), 0555);
         arrangement.faultIsInjected = false;
         return arrangement;
       }},
      // 5: things vanish during the run
      {5, "OutputFolderRemovedDuringTheRun", false,
       [](const RunFolders& folders) {
         Arrangement arrangement;
         arrangement.faultPlan = "call=open,end=/c.csv,remove=" + folders.out;
         arrangement.outputFolderRemoved = true;
         for (const char* name : {"c.csv", "d.csv", "e.csv", "big.csv"}) {
           if (ReferenceOf(name)) {
             arrangement.expect[name] = Expect::FailsWrite;
           }
         }
         return arrangement;
       }},
      {5, "InputRemovedAfterListing", false,
       [](const RunFolders& folders) {
         Arrangement arrangement;
         ::unlink((folders.in + "/d.csv").c_str());
         arrangement.removedInputs.insert("d.csv");
         arrangement.expect["d.csv"] = Expect::Skipped;
         arrangement.faultIsInjected = false;
         return arrangement;
       }},
      {7, "TemporaryFileOfAKilledRunIsClearedByTheNextRun", false,
       [](const RunFolders& folders) {
         // What a run ended by kill -9 leaves: a half-written, unlocked
         // temporary file beside the outputs.
         WriteBytes(folders.out + "/.rowvane-k1lled0run00.tmp", "<XML>\r\n <row>\r\n  <id>1");
         Arrangement arrangement;
         arrangement.faultIsInjected = false;
         return arrangement;
       }},
      {5, "InputRemovedDuringTheRun", false,
       [](const RunFolders& folders) {
         Arrangement arrangement;
         arrangement.faultPlan = "call=open,end=/a.csv,remove=" + folders.in + "/d.csv";
         arrangement.removedInputs.insert("d.csv");
         arrangement.expect["d.csv"] = Expect::Skipped;
         return arrangement;
       }},
  };
  for (WindowScenario& scenario : WriteOffsetScenarios()) {
    scenarios.push_back(std::move(scenario));
  }
  return scenarios;
}

// ------------------------------------------------------------------ checking

class WindowFaultTest : public ::testing::TestWithParam<WindowScenario> {
 protected:
  void SetUp() override {
    const WindowScenario& scenario = GetParam();
    const bool unprivileged = scenario.name.starts_with("Unprivileged");
    if (unprivileged && ::geteuid() == 0) {
      GTEST_SKIP() << "runs as an unprivileged user (scripts/reliability does that)";
    }
    if (!unprivileged && ::geteuid() != 0) {
      GTEST_SKIP() << "needs root (chattr, the suite's tmpfs)";
    }
    if (scenario.onSmallDisk && SmallDisk().empty()) {
      GTEST_SKIP() << "needs $ROWVANE_RELIABILITY_TMPFS, a small tmpfs (scripts/reliability)";
    }
    Reference();  // before any fault is in force
    m_folders.in = m_window.harness.path("in").toStdString();
    m_folders.out =
        scenario.onSmallDisk ? SmallDisk() + "/out" : m_window.harness.outFolder().toStdString();
    QDir().mkpath(QString::fromStdString(m_folders.out));
    CopyBatchInto(m_folders.in);
    for (const InputSpec& input : Batch()) {
      if (input.hasEarlierOutput) {
        WriteBytes(m_folders.out + "/" + OutputNameOf(input.name), EarlierOutputOf(input.name));
      }
    }
  }

  void TearDown() override {
    rowvane_faults_configure("");
    ::chmod(m_folders.out.c_str(), 0755);
    if (GetParam().onSmallDisk) {
      ClearFolder(m_folders.out);
    }
  }

  RunFolders m_folders;
  WindowUnderTest m_window;
};

TEST_P(WindowFaultTest, KeepsInputsAndOutputsWholeAndReportsEachFailure) {
  const WindowScenario& scenario = GetParam();
  const Watchdog watchdog(scenario.name, std::chrono::seconds(60));
  m_window.list(m_folders.in);
  const auto inputsBefore = StampFolder(m_folders.in);
  const auto outputsBefore = StampFolder(m_folders.out);

  Arrangement arrangement = scenario.arrange(m_folders);
  ASSERT_EQ(rowvane_faults_configure(arrangement.faultPlan.c_str()), 0);
  m_window.convertInto(m_folders.out);
  const unsigned injected = rowvane_faults_injected();
  rowvane_faults_configure("");
  arrangement.immutable.clear();

  RunVerdict verdict(scenario.faultClass, scenario.name, arrangement, ReferenceOf);
  verdict.checkFaultReached(injected);
  verdict.checkInputs(m_folders.in, inputsBefore);
  verdict.checkOutputs(m_folders.out, outputsBefore);
  verdict.checkTemporaryFiles(m_folders.in, m_folders.out);
  verdict.checkReports(m_window.harness.boxes.shown);
  AppendRunRecord(verdict.record());
  EXPECT_TRUE(verdict.passed()) << verdict.problems();
}

INSTANTIATE_TEST_SUITE_P(Faults, WindowFaultTest, ::testing::ValuesIn(Scenarios()),
                         [](const ::testing::TestParamInfo<WindowScenario>& row) {
                           return "Class" + std::to_string(row.param.faultClass) + "_" +
                                  row.param.name;
                         });

}  // namespace
}  // namespace rowvane::reliability
