// The window's one setting under a broken settings file: whatever the file
// holds or wherever it lies, the window starts, shows the default output
// folder and never crashes; a settings file that cannot be written is never
// left damaged.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>
#include <random>
#include <string>

#include "tests/app/WindowHarness.h"
#include "tests/reliability/FileStamp.h"
#include "tests/reliability/RunRecord.h"
#include "tests/reliability/SmallDisk.h"
#include "tests/reliability/Watchdog.h"

namespace rowvane::reliability {
namespace {

using app::testing::WindowHarness;

std::string RandomBytes(std::size_t count, unsigned seed) {
  std::mt19937 generator(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string bytes(count, '\0');
  for (char& c : bytes) {
    c = static_cast<char>(byte(generator));
  }
  return bytes;
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
    throw std::runtime_error("cannot write " + path.toStdString());
  }
}

/// How a scenario spoils the settings before the window starts.
struct SettingsScenario {
  std::string name;
  bool onSmallDisk;
  std::function<void(WindowHarness&)> spoil;
};

[[maybe_unused]] void PrintTo(const SettingsScenario& scenario, std::ostream* out) {
  *out << scenario.name;
}

std::vector<SettingsScenario> Scenarios() {
  return {
      {"GarbageBytes", false,
       [](WindowHarness& harness) {
         const std::string bytes = RandomBytes(64 * 1024, 7);
         WriteBytes(harness.settingsFile(), QByteArray(bytes.data(), qsizetype(bytes.size())));
       }},
      {"GarbageText", false,
       [](WindowHarness& harness) {
         WriteBytes(harness.settingsFile(),
                    "[General\r\nText1\r\n=\r\n[[[]]]\r\n%%%\\\\\\\r\n\"unclosed\r\n"
                    "[Other]\r\nText1=/not/the/right/section\r\n\xff\xfe\x00\x01");
       }},
      {"EmptyFile", false,
       [](WindowHarness& harness) { WriteBytes(harness.settingsFile(), QByteArray()); }},
      {"SettingsFileIsAFolder", false,
       [](WindowHarness& harness) { QDir().mkpath(harness.settingsFile()); }},
      {"UnprivilegedUnreadableFile", false,
       [](WindowHarness& harness) {
         WriteBytes(harness.settingsFile(), "[General]\nText1=/somewhere/else/\n");
         ::chmod(QFile::encodeName(harness.settingsFile()).constData(), 0);
       }},
      {"UnprivilegedUnreadableFolder", false,
       [](WindowHarness& harness) {
         WriteBytes(harness.settingsFile(), "[General]\nText1=/somewhere/else/\n");
         ::chmod(QFile::encodeName(QFileInfo(harness.settingsFile()).absolutePath()).constData(),
                 0);
       }},
      {"OnAFullDisk", true,
       [](WindowHarness& harness) {
         const QString folder = QString::fromStdString(SmallDisk()) + QStringLiteral("/config");
         QDir().mkpath(folder);
         // The harness keeps its settings in config/ below its root.
         QFile::link(folder, QFileInfo(harness.settingsFile()).absolutePath());
         FillFolder(folder.toStdString());
       }},
  };
}

class SettingsFaultTest : public ::testing::TestWithParam<SettingsScenario> {
 protected:
  void SetUp() override {
    const bool unprivileged = GetParam().name.starts_with("Unprivileged");
    if (unprivileged != (::geteuid() != 0)) {
      GTEST_SKIP() << (unprivileged ? "runs as an unprivileged user" : "needs root")
                   << " (scripts/reliability runs it so)";
    }
    if (GetParam().onSmallDisk && SmallDisk().empty()) {
      GTEST_SKIP() << "needs $ROWVANE_RELIABILITY_TMPFS (scripts/reliability)";
    }
  }

  void TearDown() override {
    const QString folder = QFileInfo(m_harness.settingsFile()).absolutePath();
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    ::chmod(QFile::encodeName(m_harness.settingsFile()).constData(), 0644);
    if (GetParam().onSmallDisk) {
      std::error_code ignored;
      std::filesystem::remove_all(SmallDisk() + "/config", ignored);
    }
  }

  WindowHarness m_harness;
};

TEST_P(SettingsFaultTest, WindowStartsWithTheDefaultFolderAndSurvivesAChange) {
  const SettingsScenario& scenario = GetParam();
  const Watchdog watchdog(scenario.name, std::chrono::seconds(30));
  scenario.spoil(m_harness);
  m_harness.reopenSettings();
  const auto settingsBefore = StampOf(m_harness.settingsFile().toStdString());

  RunRecord record;
  record.faultClass = 9;
  record.scenario = "Settings" + scenario.name;
  const std::unique_ptr<app::MainWindow> form = m_harness.start();
  const QString shown = app::testing::Controls(*form).Text1.text();
  const QString expected = m_harness.desktop() + QLatin1Char('/');
  // Typing into the box writes the store at once; it must not fail loudly.
  app::testing::Controls(*form).Text1.setText(QStringLiteral("/another/folder/"));
  const auto settingsAfter = StampOf(m_harness.settingsFile().toStdString());

  std::string problems;
  if (shown != expected) {
    problems += "shows '" + shown.toStdString() + "' instead of '" + expected.toStdString() + "'";
  }
  if (!m_harness.boxes.shown.empty()) {
    problems += " shows a message: " + m_harness.boxes.shown.front().text.toStdString();
  }
  // A settings file that stood there is either rewritten whole or left alone.
  const bool settingsSound = !settingsBefore || settingsAfter == settingsBefore ||
                             (settingsAfter && settingsAfter->size > 0);
  if (!settingsSound) {
    problems += " the settings file was emptied or removed";
    ++record.dataLost;
  }
  record.reportsRight = shown == expected && m_harness.boxes.shown.empty();
  record.outputsCorrect = settingsSound;
  record.note = problems;
  AppendRunRecord(record);
  EXPECT_TRUE(problems.empty()) << problems;
}

INSTANTIATE_TEST_SUITE_P(Settings, SettingsFaultTest, ::testing::ValuesIn(Scenarios()),
                         [](const ::testing::TestParamInfo<SettingsScenario>& row) {
                           return row.param.name;
                         });

}  // namespace
}  // namespace rowvane::reliability
