// The window's "Add All CSV File(s) In Folder" over a tree with link loops,
// dangling links, a link that leaves the tree, a pipe, a socket and a device
// named like CSV files and a folder that cannot be listed; then a run over
// what it listed. The walk must end, list each CSV file once and nothing
// else, and the run must convert them without touching any of them.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/app/WindowHarness.h"
#include "tests/reliability/FileStamp.h"
#include "tests/reliability/RunRecord.h"
#include "tests/reliability/Watchdog.h"
#include "tests/reliability/WindowBatch.h"

namespace rowvane::reliability {
namespace {

using app::testing::WindowHarness;

void MakeSocket(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof(address.sun_path));
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
  ::close(fd);
}

// A device where the platform lets us make one, a link to one elsewhere.
void MakeDevice(const std::string& path) {
  if (::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
    ASSERT_EQ(::symlink("/dev/null", path.c_str()), 0);
  }
}

class WindowWalkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_tree = m_root.filePath("tree").toStdString();
    m_outside = m_root.filePath("outside").toStdString();
    for (const char* folder : {"tree/sub/deep", "tree/locked", "outside"}) {
      QDir().mkpath(m_root.filePath(folder));
    }
    WriteBytes(m_tree + "/a.csv", Rows(4, 2));
    WriteBytes(m_tree + "/sub/c.csv", Rows(9, 3));
    WriteBytes(m_tree + "/sub/deep/d.csv", Rows(2, 1));
    WriteBytes(m_tree + "/locked/l.csv", Rows(3, 4));
    WriteBytes(m_outside + "/o.csv", Rows(5, 5));
    WriteBytes(m_tree + "/~lock.csv", Rows(1, 1));
    ASSERT_EQ(::mkfifo((m_tree + "/sub/fifo.csv").c_str(), 0644), 0);
    MakeSocket(m_tree + "/sub/sock.csv");
    MakeDevice(m_tree + "/sub/null.csv");
    for (const auto& [target, link] :
         std::vector<std::pair<std::string, std::string>>{{"/dev/zero", "/sub/zero.csv"},
                                                          {".", "/loop"},
                                                          {"..", "/sub/up"},
                                                          {"../outside", "/out-link"},
                                                          {"../nowhere", "/dangling-dir"},
                                                          {"nowhere.csv", "/dangling.csv"}}) {
      ASSERT_EQ(::symlink(target.c_str(), (m_tree + link).c_str()), 0) << link;
    }
    ASSERT_EQ(::chmod((m_tree + "/locked").c_str(), 0), 0);
  }

  void TearDown() override { ::chmod((m_tree + "/locked").c_str(), 0755); }

  std::map<std::string, FileStamp> stampInputs() const {
    std::map<std::string, FileStamp> stamps;
    for (const char* folder : {"", "/sub", "/sub/deep", "/locked"}) {
      for (const auto& [name, stamp] : StampFolder(m_tree + folder)) {
        stamps.emplace(m_tree + folder + "/" + name, stamp);
      }
    }
    for (const auto& [name, stamp] : StampFolder(m_outside)) {
      stamps.emplace(m_outside + "/" + name, stamp);
    }
    return stamps;
  }

  void walkAndConvert();

  QTemporaryDir m_root;
  std::string m_tree;
  std::string m_outside;
};

void WindowWalkTest::walkAndConvert() {
  const bool unprivileged = ::geteuid() != 0;
  const Watchdog watchdog("the window's folder walk", std::chrono::seconds(60));
  WindowHarness harness;
  app::WindowServices services = harness.services();
  services.tuning = rowvane::ConversionTuning{};
  const auto form = std::make_unique<app::MainWindow>(services);
  const auto inputsBefore = stampInputs();

  harness.folderDialog.answer = QString::fromStdString(m_tree);
  app::testing::Controls(*form).PushButton9.click();
  std::vector<std::string> listed;
  for (int position = 1; position <= app::testing::Controls(*form).ListView1.listItems().Count();
       ++position) {
    listed.push_back(
        app::testing::Controls(*form).ListView1.listItems().Text(position).toStdString());
  }
  std::sort(listed.begin(), listed.end());
  std::vector<std::string> expected{m_tree + "/a.csv", m_tree + "/out-link/o.csv",
                                    m_tree + "/sub/c.csv", m_tree + "/sub/deep/d.csv"};
  if (!unprivileged) {
    expected.push_back(m_tree + "/locked/l.csv");  // root may list it
  }
  std::sort(expected.begin(), expected.end());

  app::testing::Controls(*form).Text1.setText(harness.outFolder());
  app::testing::Controls(*form).PushButton7.click();

  RunRecord record;
  record.faultClass = 6;
  record.scenario = unprivileged ? "UnprivilegedFolderWalkOverOddTree" : "FolderWalkOverOddTree";
  record.faultReached = true;
  std::string problems;
  if (listed != expected) {
    record.restConverted = false;
    problems += "listed " + std::to_string(listed.size()) + " entries, expected " +
                std::to_string(expected.size()) + "; ";
  }
  if (stampInputs() != inputsBefore) {
    record.inputsUnchanged = false;
    ++record.dataLost;
    problems += "inputs changed; ";
  }
  const auto outputs = StampFolder(harness.outFolder().toStdString());
  if (outputs.size() != expected.size()) {
    record.restConverted = false;
    problems += std::to_string(outputs.size()) + " outputs; ";
  }
  record.temporaryFilesLeft =
      static_cast<int>(TemporaryFilesIn(harness.outFolder().toStdString()).size());
  const auto& shown = harness.boxes.shown;
  record.reportsRight = shown.size() == 1 && shown.back().text == QStringLiteral("Done.");
  if (!record.reportsRight) {
    problems += std::to_string(shown.size()) + " message boxes; ";
  }
  record.note = problems;
  AppendRunRecord(record);
  EXPECT_EQ(listed, expected);
  EXPECT_TRUE(problems.empty()) << problems;
}

TEST_F(WindowWalkTest, ListsEachCsvFileOnceAndConvertsThemUntouched) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "runs as root; the unprivileged twin runs as nobody";
  }
  walkAndConvert();
}

TEST_F(WindowWalkTest, UnprivilegedListsEachCsvFileOnceAndConvertsThemUntouched) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "runs as an unprivileged user (scripts/reliability does that)";
  }
  walkAndConvert();
}

}  // namespace
}  // namespace rowvane::reliability
