#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "app/desktop/HandOverFolder.h"
#include "tests/app/HandOverPeers.h"

namespace rowvane::app {
namespace {

using testing::AsNobody;

// How a test leaves a path before the folder is looked for.
enum class Made { Nothing, OwnPrivate, OwnOpen, NobodysPrivate, LinkToOwnPrivate, PlainFile };

void Make(Made made, const QString& path) {
  const QByteArray name = QFile::encodeName(path);
  switch (made) {
    case Made::Nothing:
      return;
    case Made::OwnPrivate:
    case Made::OwnOpen:
      ASSERT_EQ(::mkdir(name.constData(), 0700), 0);
      ASSERT_EQ(::chmod(name.constData(), made == Made::OwnPrivate ? 0700 : 0755), 0);
      return;
    case Made::NobodysPrivate: {
      const QStringList command =
          AsNobody({QStringLiteral("mkdir"), QStringLiteral("-m"), QStringLiteral("0700"), path});
      ASSERT_EQ(QProcess::execute(command.first(), command.mid(1)), 0);
      return;
    }
    case Made::LinkToOwnPrivate:
      ASSERT_EQ(::mkdir((name + ".target").constData(), 0700), 0);
      ASSERT_EQ(::symlink((name + ".target").constData(), name.constData()), 0);
      return;
    case Made::PlainFile:
      ASSERT_TRUE(QFile(path).open(QIODevice::WriteOnly));
      return;
  }
}

struct FolderRow {
  const char* name;
  Made runtime;      // at <base>/run, given as the runtime folder unless Nothing
  Made temporary;    // at <base>/tmp/rowvane-UID
  const char* uses;  // "runtime", "temporary", or the problem's words
};

class HandOverFolderTest : public ::testing::TestWithParam<FolderRow> {};

TEST_P(HandOverFolderTest, OnlyThisUsersPrivateFolderIsUsed) {
  const FolderRow& row = GetParam();
  QTemporaryDir base;
  ASSERT_TRUE(base.isValid());
  // Shared like /tmp, so that the second user can squat in it.
  ASSERT_EQ(::chmod(QFile::encodeName(base.path()).constData(), 01777), 0);
  const QString runtime = base.filePath(QStringLiteral("run"));
  const QString temporary = base.filePath(QStringLiteral("tmp"));
  ASSERT_TRUE(QDir().mkpath(temporary));
  ASSERT_EQ(::chmod(QFile::encodeName(temporary).constData(), 01777), 0);
  const QString fallback = temporary + QStringLiteral("/rowvane-%1").arg(::geteuid());
  Make(row.runtime, runtime);
  Make(row.temporary, fallback);

  const HandOverFolder found =
      FindHandOverFolder(row.runtime == Made::Nothing ? QString() : runtime, temporary);
  const QString uses = QString::fromUtf8(row.uses);
  if (uses == QStringLiteral("runtime") || uses == QStringLiteral("temporary")) {
    EXPECT_TRUE(found.usable()) << found.problem.toStdString();
    EXPECT_EQ(found.path, uses == QStringLiteral("runtime") ? runtime : fallback);
    EXPECT_EQ(found.socketPath(), found.path + QStringLiteral("/rowvane.socket"));
    struct stat info {};
    ASSERT_EQ(::lstat(QFile::encodeName(found.path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
  } else {
    EXPECT_FALSE(found.usable());
    EXPECT_TRUE(found.problem.contains(uses)) << found.problem.toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HandOverFolderTest,
    ::testing::Values(
        FolderRow{"private_runtime", Made::OwnPrivate, Made::Nothing, "runtime"},
        FolderRow{"no_runtime_made_in_temporary", Made::Nothing, Made::Nothing, "temporary"},
        FolderRow{"open_runtime", Made::OwnOpen, Made::Nothing, "temporary"},
        FolderRow{"runtime_of_another_user", Made::NobodysPrivate, Made::Nothing, "temporary"},
        FolderRow{"runtime_a_link", Made::LinkToOwnPrivate, Made::Nothing, "temporary"},
        FolderRow{"temporary_kept", Made::Nothing, Made::OwnPrivate, "temporary"},
        FolderRow{"temporary_of_another_user", Made::Nothing, Made::NobodysPrivate,
                  "belongs to user 65534"},
        FolderRow{"temporary_open", Made::Nothing, Made::OwnOpen, "has mode 0755, not 0700"},
        FolderRow{"temporary_a_link", Made::Nothing, Made::LinkToOwnPrivate, "is not a folder"},
        FolderRow{"temporary_a_file", Made::Nothing, Made::PlainFile, "is not a folder"}),
    [](const ::testing::TestParamInfo<FolderRow>& row) { return std::string(row.param.name); });

TEST(HandOverFolder, NameTooLongForASocketIsRefused) {
  QTemporaryDir base;
  const QString deep = base.filePath(QString(120, QLatin1Char('d')));
  ASSERT_TRUE(QDir().mkpath(deep));
  const HandOverFolder found = FindHandOverFolder(QString(), deep);
  EXPECT_FALSE(found.usable());
  EXPECT_TRUE(found.problem.contains(QStringLiteral("too long"))) << found.problem.toStdString();
}

}  // namespace
}  // namespace rowvane::app
