#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include "tests/app/ProgramEnvironment.h"

#include "tests/app/ProgramEnvironment.h"

namespace {

// Waits until `done` holds or `milliseconds` have passed.
template <typename Condition>
bool WaitFor(Condition done, int milliseconds) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > milliseconds) {
      return false;
    }
    QThread::msleep(20);
  }
  return true;
}

// Starts the real program offscreen with its own configuration folder and a
// fresh home without a desktop folder. Its first start stores the home folder
// as the output folder, which tells that start-up has run to its end; then
// the program must still be running.
TEST(ProgramStart, RealProgramStartsStoresItsFolderAndKeepsRunning) {
  QTemporaryDir scratch;
  ASSERT_TRUE(scratch.isValid());
  QProcessEnvironment environment = rowvane::app::testing::ProgramEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  environment.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch.filePath(QStringLiteral("config")));
  environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), scratch.path());
  environment.insert(QStringLiteral("HOME"), scratch.path());

  QProcess program;
  program.setProcessEnvironment(environment);
  program.setProcessChannelMode(QProcess::MergedChannels);
  program.start(QStringLiteral(ROWVANE_PROGRAM), {});
  ASSERT_TRUE(program.waitForStarted(10000)) << program.errorString().toStdString();

  const QString settingsFile = scratch.filePath(QStringLiteral("config/Quorvel/Rowvane.conf"));
  const bool stored = WaitFor(
      [&] {
        return QSettings(settingsFile, QSettings::IniFormat).contains(QStringLiteral("Text1"));
      },
      30000);
  EXPECT_TRUE(stored);
  EXPECT_FALSE(program.waitForFinished(500));  // still up: nothing ended it
  EXPECT_EQ(program.state(), QProcess::Running);

  program.terminate();
  EXPECT_TRUE(program.waitForFinished(10000));
  const QString output = QString::fromLocal8Bit(program.readAll());
  EXPECT_FALSE(output.contains(QStringLiteral("ERROR: AddressSanitizer")));
  EXPECT_FALSE(output.contains(QStringLiteral("runtime error:")));
  EXPECT_EQ(QSettings(settingsFile, QSettings::IniFormat).value(QStringLiteral("Text1")).toString(),
            QDir(scratch.path()).path() + QLatin1Char('/'))
      << output.toStdString();
}

}  // namespace
