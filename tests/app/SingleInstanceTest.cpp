#include <gtest/gtest.h>

#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "app/desktop/CommandLineFiles.h"
#include "app/desktop/SingleInstance.h"
#include "tests/app/WindowHarness.h"

namespace rowvane::app {
namespace {

using testing::EntriesOf;
using testing::WindowHarness;

// Lets this process's events run until `done` holds or a long while passed.
template <typename Condition>
bool RunEventsUntil(Condition done) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > 30000) {
      return false;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

// The real program, with its runtime folder (and so its socket) in `runtime`.
// A platform that does not exist makes any attempt at a window fail at once.
std::unique_ptr<QProcess> StartProgram(const QString& runtime, const QString& folder,
                                       const QStringList& args, const char* platform) {
  auto program = std::make_unique<QProcess>();
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
  environment.insert(QStringLiteral("XDG_CONFIG_HOME"), runtime + QStringLiteral("/config"));
  environment.insert(QStringLiteral("HOME"), runtime);
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QString::fromLatin1(platform));
  program->setProcessEnvironment(environment);
  program->setWorkingDirectory(folder);
  program->setProcessChannelMode(QProcess::MergedChannels);
  program->start(QStringLiteral(ROWVANE_PROGRAM), args);
  return program;
}

class SingleInstanceTest : public ::testing::Test {
 protected:
  SingleInstanceTest() {
    harness.writeFile(QStringLiteral("in/a.csv"), "x");
    harness.writeFile(QStringLiteral("in/folder/b.txt"), "x");
    harness.writeFile(QStringLiteral("in/folder/sub/c.csv"), "x");
    QDir().mkpath(runtime());
  }

  // What a drop of `paths` on a fresh window gives.
  QStringList droppedEntries(const QStringList& paths) {
    const auto reference = harness.start();
    reference->form().addPathsAsDropped(paths);
    return EntriesOf(*reference);
  }

  // A window that takes files from the command line as the program's does.
  std::unique_ptr<MainWindow> startWindow(const QStringList& startFiles, SingleInstance& instance) {
    auto window = harness.start();
    Form1& form = window->form();
    AcceptCommandLineFiles(startFiles, instance, *window,
                           [&form](const QStringList& paths) { form.addPathsAsDropped(paths); });
    return window;
  }

  // The runtime folder the real program is given, which holds its socket.
  QString runtime() const { return harness.path(QStringLiteral("run")); }
  QString socketName() const { return runtime() + QStringLiteral("/rowvane.socket"); }
  QString inFolder() const { return harness.path(QStringLiteral("in")); }

  WindowHarness harness;
};

TEST_F(SingleInstanceTest, LaterStartHandsItsFilesToTheRunningWindowAndEndsWithoutAWindow) {
  SingleInstance instance(socketName());
  ASSERT_TRUE(instance.listen());
  const auto window = startWindow({}, instance);

  const auto second = StartProgram(runtime(), inFolder(),
                                   {QStringLiteral("a.csv"), QStringLiteral("folder")}, "no-such");
  ASSERT_TRUE(RunEventsUntil([&] { return second->state() == QProcess::NotRunning; }));
  EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second->exitCode(), 0) << second->readAll().toStdString();

  const QStringList expected = droppedEntries(
      {inFolder() + QStringLiteral("/a.csv"), inFolder() + QStringLiteral("/folder")});
  ASSERT_EQ(expected.size(), 3);
  EXPECT_TRUE(RunEventsUntil([&] { return EntriesOf(*window).size() >= expected.size(); }));
  EXPECT_EQ(EntriesOf(*window), expected);
}

TEST_F(SingleInstanceTest, FilesOfTheCommandLineAreAddedAsDroppedOnceEventsRun) {
  SingleInstance instance(socketName());
  const QStringList files{inFolder() + QStringLiteral("/folder"),
                          inFolder() + QStringLiteral("/a.csv")};
  const auto window = startWindow(files, instance);
  EXPECT_TRUE(EntriesOf(*window).isEmpty());  // not before the window is up
  const QStringList expected = droppedEntries(files);
  EXPECT_TRUE(RunEventsUntil([&] { return EntriesOf(*window).size() >= expected.size(); }));
  EXPECT_EQ(EntriesOf(*window), expected);
}

TEST_F(SingleInstanceTest, RealProgramStartedWithFilesTakesThoseOfALaterStart) {
  const auto first = StartProgram(runtime(), inFolder(), {QStringLiteral("a.csv")}, "offscreen");
  ASSERT_TRUE(first->waitForStarted(10000));
  // Until it listens, a hand-over finds nobody.
  EXPECT_TRUE(RunEventsUntil([&] {
    return SingleInstance::handOver(socketName(), {inFolder() + QStringLiteral("/a.csv")});
  }));

  const auto second = StartProgram(runtime(), inFolder(), {QStringLiteral("folder")}, "no-such");
  EXPECT_TRUE(second->waitForFinished(30000));
  EXPECT_EQ(second->exitCode(), 0) << second->readAll().toStdString();
  EXPECT_EQ(first->state(), QProcess::Running);

  first->terminate();
  EXPECT_TRUE(first->waitForFinished(10000));
}

TEST_F(SingleInstanceTest, NameHeldByALiveWindowIsLeftAndOneLeftBehindIsTakenOver) {
  EXPECT_FALSE(SingleInstance::handOver(socketName(), {QStringLiteral("/a.csv")}));
  {
    // What a window killed outright leaves behind: the name, nobody behind it.
    QFile leftBehind(socketName());
    ASSERT_TRUE(leftBehind.open(QIODevice::WriteOnly));
  }
  SingleInstance first(socketName());
  EXPECT_TRUE(first.listen());
  SingleInstance second(socketName());
  EXPECT_FALSE(second.listen());
}

TEST(UserSocketName, LiesInTheUsersRuntimeFolder) {
  QTemporaryDir runtime;
  ASSERT_TRUE(runtime.isValid());
  const bool wasSet = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
  const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
  qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
  const QString name = SingleInstance::userSocketName();
  qunsetenv("XDG_RUNTIME_DIR");
  const QString fallback = SingleInstance::userSocketName();
  if (wasSet) {
    qputenv("XDG_RUNTIME_DIR", saved);
  }
  EXPECT_EQ(name, runtime.filePath(QStringLiteral("rowvane.socket")));
  EXPECT_TRUE(fallback.contains(QString::number(getuid()))) << fallback.toStdString();
}

}  // namespace
}  // namespace rowvane::app
