#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <future>

#include "app/desktop/CommandLineFiles.h"
#include "app/desktop/SingleInstance.h"
#include "tests/app/HandOverPeers.h"
#include "tests/app/ProgramEnvironment.h"
#include "tests/app/WindowHarness.h"

namespace rowvane::app {
namespace {

using testing::AsNobody;
using testing::EntriesOf;
using testing::ListenerAt;
using testing::Perl;
using testing::StartCommand;
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

// A hand-over from another thread, while this one runs the listener's events.
HandOverAnswer HandOverWhileListening(const HandOverFolder& folder, const QStringList& paths,
                                      const QString& workingFolder) {
  auto answer = std::async(std::launch::async,
                           [&] { return SingleInstance::handOver(folder, paths, workingFolder); });
  RunEventsUntil(
      [&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
  return answer.get();
}

struct Environment {
  QString runtime;  // XDG_RUNTIME_DIR; empty for none
  QString temporary = QDir::tempPath();
  const char* platform = "offscreen";  // one that does not exist fails any window at once
};

// The real program with its own settings, runtime and temporary folders.
std::unique_ptr<QProcess> StartProgram(const Environment& given, const QString& folder,
                                       const QStringList& args, const QStringList& wrapper = {}) {
  auto program = std::make_unique<QProcess>();
  QProcessEnvironment environment = testing::ProgramEnvironment();
  environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), given.runtime);
  environment.insert(QStringLiteral("TMPDIR"), given.temporary);
  environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                     given.temporary + QStringLiteral("/config"));
  environment.insert(QStringLiteral("HOME"), given.temporary);
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QString::fromLatin1(given.platform));
  program->setProcessEnvironment(environment);
  program->setWorkingDirectory(folder);
  program->setProcessChannelMode(QProcess::MergedChannels);
  const QStringList command = wrapper + QStringList{QStringLiteral(ROWVANE_PROGRAM)} + args;
  program->start(command.first(), command.mid(1));
  return program;
}

class SingleInstanceTest : public ::testing::Test {
 protected:
  SingleInstanceTest() {
    harness.writeFile(QStringLiteral("in/a.csv"), "x");
    harness.writeFile(QStringLiteral("in/folder/b.txt"), "x");
    harness.writeFile(QStringLiteral("in/folder/sub/c.csv"), "x");
    QDir().mkpath(runtime());
    ::chmod(QFile::encodeName(runtime()).constData(), 0700);
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
    AcceptCommandLineFiles(startFiles, &instance, *window,
                           [&form](const QStringList& paths) { form.addPathsAsDropped(paths); });
    return window;
  }

  std::unique_ptr<SingleInstance> listener() {
    return std::make_unique<SingleInstance>(folder(), HandOverLock(folder().lockPath()));
  }

  // The private runtime folder the real program is given, which holds its socket.
  QString runtime() const { return harness.path(QStringLiteral("run")); }
  HandOverFolder folder() const { return FindHandOverFolder(runtime(), QString()); }
  Environment environment() const { return {runtime(), harness.path(QString())}; }
  QString inFolder() const { return harness.path(QStringLiteral("in")); }

  WindowHarness harness;
};

TEST_F(SingleInstanceTest, LaterStartHandsItsFilesToTheRunningWindowAndEndsWithoutAWindow) {
  const auto instance = listener();
  ASSERT_TRUE(instance->listening());
  const auto window = startWindow({}, *instance);

  Environment noWindow = environment();
  noWindow.platform = "no-such";
  const auto second =
      StartProgram(noWindow, inFolder(), {QStringLiteral("a.csv"), QStringLiteral("folder")});
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
  const auto instance = listener();
  const QStringList files{inFolder() + QStringLiteral("/folder"),
                          inFolder() + QStringLiteral("/a.csv")};
  const auto window = startWindow(files, *instance);
  EXPECT_TRUE(EntriesOf(*window).isEmpty());  // not before the window is up
  const QStringList expected = droppedEntries(files);
  EXPECT_TRUE(RunEventsUntil([&] { return EntriesOf(*window).size() >= expected.size(); }));
  EXPECT_EQ(EntriesOf(*window), expected);
}

TEST_F(SingleInstanceTest, RelativeNamesComeFromTheSendersFolder) {
  const auto instance = listener();
  const auto window = startWindow({}, *instance);
  const HandOverAnswer answer = HandOverWhileListening(
      folder(), {QStringLiteral("a.csv"), QString(), QStringLiteral("")}, inFolder());
  EXPECT_TRUE(answer.taken);
  const QStringList expected = droppedEntries({inFolder() + QStringLiteral("/a.csv")});
  EXPECT_TRUE(RunEventsUntil([&] { return !EntriesOf(*window).isEmpty(); }));
  EXPECT_EQ(EntriesOf(*window), expected);
}

TEST_F(SingleInstanceTest, SecondListenerStandsByAndTakesOverWhenTheFirstEnds) {
  {
    // What a window killed outright leaves behind: the name, nobody behind it.
    QFile leftBehind(folder().socketPath());
    ASSERT_TRUE(leftBehind.open(QIODevice::WriteOnly));
  }
  auto first = listener();
  EXPECT_TRUE(first->listening());
  const auto second = listener();
  EXPECT_FALSE(second->listening());
  QStringList handed;
  QObject::connect(second.get(), &SingleInstance::pathsHandedOver,
                   [&](const QStringList& paths) { handed += paths; });

  first.reset();
  EXPECT_TRUE(RunEventsUntil([&] { return second->listening(); }));
  EXPECT_TRUE(HandOverWhileListening(folder(), {QStringLiteral("/x/a.csv")}, QString()).taken);
  EXPECT_TRUE(RunEventsUntil([&] { return !handed.isEmpty(); }));
  EXPECT_EQ(handed, QStringList{QStringLiteral("/x/a.csv")});
}

TEST_F(SingleInstanceTest, RealProgramStartedWithFilesTakesThoseOfALaterStart) {
  const auto first = StartProgram(environment(), inFolder(), {QStringLiteral("a.csv")});
  ASSERT_TRUE(first->waitForStarted(10000));
  // Until it listens, a hand-over finds nobody.
  EXPECT_TRUE(RunEventsUntil([&] {
    return SingleInstance::handOver(folder(), {inFolder() + QStringLiteral("/a.csv")}, QString())
        .taken;
  }));

  Environment noWindow = environment();
  noWindow.platform = "no-such";
  const auto second = StartProgram(noWindow, inFolder(), {QStringLiteral("folder")});
  EXPECT_TRUE(second->waitForFinished(30000));
  EXPECT_EQ(second->exitCode(), 0) << second->readAll().toStdString();
  EXPECT_EQ(first->state(), QProcess::Running);

  first->terminate();
  EXPECT_TRUE(first->waitForFinished(10000));
}

// The window that holds the socket closes while a second one, started
// without files, is open: a later start with files goes to the second, and
// a start without files still opens a window of its own.
TEST_F(SingleInstanceTest, SurvivingRealWindowTakesTheSocketOver) {
  const auto first = StartProgram(environment(), inFolder(), {});
  ASSERT_TRUE(first->waitForStarted(10000));
  ASSERT_TRUE(RunEventsUntil([&] { return ListenerAt(folder().socketPath()).has_value(); }));
  const auto second = StartProgram(environment(), inFolder(), {});
  ASSERT_TRUE(second->waitForStarted(10000));
  EXPECT_EQ(ListenerAt(folder().socketPath()), first->processId());

  first->terminate();
  EXPECT_TRUE(first->waitForFinished(10000));
  EXPECT_TRUE(RunEventsUntil([&] {
    return ListenerAt(folder().socketPath()) == second->processId();
  })) << second->readAll().toStdString();

  Environment noWindow = environment();
  noWindow.platform = "no-such";
  const auto withFiles = StartProgram(noWindow, inFolder(), {QStringLiteral("a.csv")});
  EXPECT_TRUE(withFiles->waitForFinished(30000));
  EXPECT_EQ(withFiles->exitCode(), 0) << withFiles->readAll().toStdString();
  const auto withoutFiles = StartProgram(noWindow, inFolder(), {});
  EXPECT_TRUE(withoutFiles->waitForFinished(30000));
  // It went for a window, which this platform cannot give.
  EXPECT_FALSE(withoutFiles->exitStatus() == QProcess::NormalExit && withoutFiles->exitCode() == 0);
  EXPECT_TRUE(withoutFiles->readAll().contains("no-such"));
  EXPECT_EQ(second->state(), QProcess::Running);
  second->terminate();
  EXPECT_TRUE(second->waitForFinished(10000));
}

struct PeerRow {
  const char* name;
  bool asNobody;
  const char* answer;
};

class SingleInstanceUsers : public SingleInstanceTest,
                            public ::testing::WithParamInterface<PeerRow> {};

// The socket is opened to everybody here, so that only the listener's own
// check stands between another user and the window.
TEST_P(SingleInstanceUsers, ListenerHearsOnlyItsOwnUser) {
  const auto instance = listener();
  ASSERT_TRUE(instance->listening());
  const QString socket = folder().socketPath();
  ASSERT_EQ(::chmod(QFile::encodeName(harness.path(QString())).constData(), 0755), 0);
  ASSERT_EQ(::chmod(QFile::encodeName(runtime()).constData(), 0755), 0);
  ASSERT_EQ(::chmod(QFile::encodeName(socket).constData(), 0777), 0);
  QStringList handed;
  QObject::connect(instance.get(), &SingleInstance::pathsHandedOver,
                   [&](const QStringList& paths) { handed += paths; });

  QStringList client =
      Perl(testing::kClientScript, {socket, QStringLiteral("/in"), QStringLiteral("a.csv")});
  const auto process = StartCommand(GetParam().asNobody ? AsNobody(client) : client);
  ASSERT_TRUE(RunEventsUntil([&] { return process->state() == QProcess::NotRunning; }));
  EXPECT_EQ(process->readAllStandardOutput().trimmed(), QByteArray(GetParam().answer))
      << process->readAllStandardError().toStdString();
  QCoreApplication::processEvents();
  EXPECT_EQ(handed, GetParam().asNobody ? QStringList() : QStringList{QStringLiteral("/in/a.csv")});
}

INSTANTIATE_TEST_SUITE_P(Rows, SingleInstanceUsers,
                         ::testing::Values(PeerRow{"same_user", false, "answer:T"},
                                           PeerRow{"other_user", true, "answer:"}),
                         [](const ::testing::TestParamInfo<PeerRow>& row) {
                           return std::string(row.param.name);
                         });

// One connection of an attacker of the same user, sending what it has
// without waiting, and noting what comes back.
struct Attacker {
  FileDescriptor socket;
  QByteArray pending;
  bool endless = false;  // sends its last piece again and again
  qint64 sent = 0;
  QByteArray answer;
  bool closed = false;

  void pump() {
    while (!closed && !pending.isEmpty()) {
      const ssize_t written =
          ::send(socket.get(), pending.constData(), static_cast<size_t>(pending.size()),
                 MSG_NOSIGNAL | MSG_DONTWAIT);
      if (written < 0) {
        closed = errno != EAGAIN;
        break;
      }
      sent += written;
      pending.remove(0, written);
      if (pending.isEmpty() && endless) {
        pending = QByteArray(1024 * 1024, 'a');
      }
    }
    char byte = 0;
    const ssize_t got = ::recv(socket.get(), &byte, 1, MSG_DONTWAIT);
    if (got == 1) {
      answer.append(byte);
    } else if (got == 0 || errno != EAGAIN) {
      closed = true;
    }
  }
};

struct AttackRow {
  const char* name;
  int clients;
  QByteArray sends;
  bool endless;
  const char* answer;  // what each attacker hears before it is cut off
};

class SingleInstanceAttacks : public SingleInstanceTest,
                              public ::testing::WithParamInterface<AttackRow> {};

TEST_P(SingleInstanceAttacks, AttackersAreCutOffAndTheWindowKeepsListening) {
  const AttackRow& row = GetParam();
  const auto instance = listener();
  ASSERT_TRUE(instance->listening());
  QStringList handed;
  QObject::connect(instance.get(), &SingleInstance::pathsHandedOver,
                   [&](const QStringList& paths) { handed += paths; });

  std::vector<Attacker> attackers(row.clients);
  for (Attacker& attacker : attackers) {
    attacker.socket = testing::ConnectTo(folder().socketPath(), true);
    ASSERT_TRUE(attacker.socket.valid());
    attacker.pending = row.sends;
    attacker.endless = row.endless;
  }
  const auto open = [&] {
    return std::count_if(attackers.begin(), attackers.end(), [](Attacker& a) {
      a.pump();
      return !a.closed;
    });
  };
  if (row.clients > SingleInstance::kMostConnections) {
    // Those beyond the cap are closed at once, long before the others' time is up.
    ASSERT_TRUE(RunEventsUntil([&] { return open() <= SingleInstance::kMostConnections; }));
    EXPECT_EQ(open(), SingleInstance::kMostConnections);
  }
  // Fed as fast as the listener reads, so that only a cap on what it keeps
  // can stop the endless one before its time is up.
  EXPECT_TRUE(RunEventsUntil([&] {
    for (int round = 0; round < 20; ++round) {
      QCoreApplication::processEvents();
      open();
    }
    return open() == 0;
  }));
  for (const Attacker& attacker : attackers) {
    EXPECT_EQ(attacker.answer, QByteArray(row.answer));
    EXPECT_LE(attacker.sent, SingleInstance::kMostBufferedBytes + 8 * 1024 * 1024);
  }
  EXPECT_TRUE(handed.isEmpty()) << handed.join(QLatin1Char(' ')).toStdString();

  EXPECT_TRUE(instance->listening());
  EXPECT_TRUE(HandOverWhileListening(folder(), {QStringLiteral("/x/a.csv")}, QString()).taken);
  EXPECT_TRUE(RunEventsUntil([&] { return !handed.isEmpty(); }));
  EXPECT_EQ(handed, QStringList{QStringLiteral("/x/a.csv")});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SingleInstanceAttacks,
    ::testing::Values(
        AttackRow{"idle_flood", 40, QByteArray(), false, ""},
        AttackRow{"unfinished_messages", 8, QByteArray("D/in\0F/in/half", 14), false, ""},
        AttackRow{"endless_name", 1, QByteArray("D/\0F", 4), true, ""},
        AttackRow{"garbage", 4, QByteArray("\0\0\0\1junk", 8), false, ""},
        AttackRow{"null_and_empty_names", 2, QByteArray("D/in\0F\0F\0E", 10), false, "T"}),
    [](const ::testing::TestParamInfo<AttackRow>& row) { return std::string(row.param.name); });

struct SquatRow {
  const char* name;
  bool runtimeIsSquatted;    // else the folder in the temporary folder is
  bool inheritsBoundSocket;  // root binds in root's folder, nobody listens
  const char* says;          // on standard error
};

class SingleInstanceSquatters : public SingleInstanceTest,
                                public ::testing::WithParamInterface<SquatRow> {};

// The second real user listens where root's window would, and never answers:
// root's start with files must not talk to it, must not wait for it, and
// must open a window of its own (which this platform cannot give).
TEST_P(SingleInstanceSquatters, FilesNeverGoToAnotherUsersListener) {
  const SquatRow& row = GetParam();
  QTemporaryDir shared;
  ASSERT_EQ(::chmod(QFile::encodeName(shared.path()).constData(), 01777), 0);
  Environment root{QString(), shared.path(), "no-such"};
  HandOverLock listenerIsStarting;
  QStringList squatter;
  if (row.inheritsBoundSocket) {
    root.runtime = runtime();
    listenerIsStarting = HandOverLock(folder().lockPath());
    ASSERT_TRUE(listenerIsStarting.take());
    squatter = Perl(testing::kBinderScript, QStringList{folder().socketPath()} +
                                                AsNobody(Perl(testing::kSquatterScript, {})));
  } else {
    const QString theirs = row.runtimeIsSquatted
                               ? shared.filePath(QStringLiteral("run-65534"))
                               : shared.filePath(QStringLiteral("rowvane-%1").arg(::geteuid()));
    root.runtime = row.runtimeIsSquatted ? theirs : QString();
    squatter =
        AsNobody(Perl(testing::kSquatterScript, {theirs + QStringLiteral("/rowvane.socket")}));
  }
  const auto squatting = StartCommand(squatter);
  ASSERT_TRUE(squatting->waitForReadyRead(10000))
      << squatting->readAllStandardError().toStdString();

  const auto program = StartProgram(root, inFolder(), {QStringLiteral("a.csv")});
  ASSERT_TRUE(program->waitForFinished(30000));
  const QByteArray said = program->readAll();
  EXPECT_FALSE(program->exitStatus() == QProcess::NormalExit && program->exitCode() == 0)
      << said.toStdString();
  EXPECT_TRUE(said.contains("no-such")) << said.toStdString();
  EXPECT_TRUE(said.contains(row.says)) << said.toStdString();
  QThread::msleep(200);  // for a connection the squatter may still report
  const QByteArray heard = squatting->readAllStandardOutput();
  EXPECT_FALSE(
      QString::fromUtf8(heard).contains(QRegularExpression(QStringLiteral("[1-9]\\d* bytes"))))
      << heard.toStdString();
  squatting->kill();
  squatting->waitForFinished(10000);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SingleInstanceSquatters,
    ::testing::Values(SquatRow{"temporary_folder_taken_first", false, false,
                               "belongs to user 65534, not to user 0; this window works alone"},
                      SquatRow{"runtime_folder_of_another_user", true, false, ""},
                      SquatRow{"listener_of_another_user_in_own_folder", false, true,
                               "is held by user 65534, not by user 0"}),
    [](const ::testing::TestParamInfo<SquatRow>& row) { return std::string(row.param.name); });

// The real window under a real X server, left with two descriptors to spare,
// is flooded with connections: it runs out of descriptors, keeps its socket
// and still takes a later start's files.
TEST_F(SingleInstanceTest, RealWindowOutOfDescriptorsKeepsListening) {
  const auto window = StartProgram(environment(), inFolder(), {},
                                   {QStringLiteral("xvfb-run"), QStringLiteral("-a")});
  std::optional<pid_t> listener;
  ASSERT_TRUE(RunEventsUntil([&] {
    listener = ListenerAt(folder().socketPath());
    return listener.has_value() || window->state() == QProcess::NotRunning;
  }));
  ASSERT_TRUE(listener.has_value()) << window->readAll().toStdString();
  // The listener is up before the window is shown; the window takes what it
  // needs for that first, and only then is left without descriptors to spare.
  ASSERT_TRUE(RunEventsUntil([&] {
    return SingleInstance::handOver(folder(), {inFolder() + QStringLiteral("/a.csv")}, QString())
        .taken;
  }));
  QThread::msleep(2000);
  const qsizetype inUse = QDir(QStringLiteral("/proc/%1/fd").arg(*listener))
                              .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
                              .size();
  const QString limit = QStringLiteral("--nofile=%1:%1").arg(inUse + 2);
  ASSERT_EQ(QProcess::execute(QStringLiteral("prlimit"),
                              {QStringLiteral("--pid"), QString::number(*listener), limit}),
            0);

  std::vector<FileDescriptor> flood;
  for (int i = 0; i < 200; ++i) {
    flood.push_back(testing::ConnectTo(folder().socketPath(), true));
    if (i % 20 == 19) {
      QThread::msleep(50);
    }
  }
  QThread::msleep(500);
  flood.clear();
  EXPECT_TRUE(QFileInfo(folder().socketPath()).exists());
  EXPECT_TRUE(RunEventsUntil([&] {
    return SingleInstance::handOver(folder(), {inFolder() + QStringLiteral("/a.csv")}, QString())
        .taken;
  }));
  EXPECT_EQ(ListenerAt(folder().socketPath()), listener);
  EXPECT_EQ(window->state(), QProcess::Running) << window->readAll().toStdString();
  ::kill(*listener, SIGTERM);
  EXPECT_TRUE(window->waitForFinished(10000));
}

}  // namespace
}  // namespace rowvane::app
