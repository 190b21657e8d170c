#include "app/desktop/HandOverFolder.h"

#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>

namespace rowvane::app {
namespace {

QString SystemMessage(int error) {
  return QString::fromLocal8Bit(std::strerror(error));
}

// Empty when `folder` is this user's private folder; else what is wrong.
QString PrivacyProblem(const QString& folder) {
  struct stat info {};
  if (::lstat(QFile::encodeName(folder).constData(), &info) != 0) {
    return QStringLiteral("cannot look at %1: %2").arg(folder, SystemMessage(errno));
  }
  if (!S_ISDIR(info.st_mode)) {
    return QStringLiteral("%1 is not a folder").arg(folder);
  }
  if (info.st_uid != ::geteuid()) {
    return QStringLiteral("%1 belongs to user %2, not to user %3")
        .arg(folder)
        .arg(info.st_uid)
        .arg(::geteuid());
  }
  const unsigned mode = info.st_mode & 07777;
  if (mode != 0700) {
    return QStringLiteral("%1 has mode %2, not 0700").arg(folder).arg(mode, 4, 8, QLatin1Char('0'));
  }
  return {};
}

// Made 0700 whatever the umask says; one that exists is judged as it is.
QString MakePrivateFolder(const QString& folder) {
  const QByteArray name = QFile::encodeName(folder);
  if (::mkdir(name.constData(), 0700) == 0) {
    ::chmod(name.constData(), 0700);
  } else if (errno != EEXIST) {
    return QStringLiteral("cannot make %1: %2").arg(folder, SystemMessage(errno));
  }
  return PrivacyProblem(folder);
}

}  // namespace

QString HandOverFolder::socketPath() const {
  return path + QStringLiteral("/rowvane.socket");
}

QString HandOverFolder::lockPath() const {
  return path + QStringLiteral("/rowvane.lock");
}

HandOverFolder FindHandOverFolder(const QString& runtimeFolder, const QString& temporaryFolder) {
  HandOverFolder chosen;
  // A runtime folder that is not private, as after a plain su, is passed
  // over rather than refused: the temporary folder still serves.
  if (QDir::isAbsolutePath(runtimeFolder) && PrivacyProblem(runtimeFolder).isEmpty()) {
    chosen.path = QDir::cleanPath(runtimeFolder);
  } else {
    chosen.path = QDir(temporaryFolder).filePath(QStringLiteral("rowvane-%1").arg(::geteuid()));
    chosen.problem = MakePrivateFolder(chosen.path);
  }
  if (chosen.usable() && QFile::encodeName(chosen.socketPath()).size() >=
                             static_cast<qsizetype>(sizeof(sockaddr_un{}.sun_path))) {
    chosen.problem = QStringLiteral("%1 is too long a name for a socket").arg(chosen.socketPath());
  }
  return chosen;
}

HandOverFolder UserHandOverFolder() {
  return FindHandOverFolder(qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath());
}

}  // namespace rowvane::app
