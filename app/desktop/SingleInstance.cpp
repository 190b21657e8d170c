#include "app/desktop/SingleInstance.h"

#include <unistd.h>

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>

namespace rowvane::app {
namespace {

constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_0;
// The running window answers from its event loop, which a long run or a walk
// through folders keeps turning; a window that stays silent longer is taken
// as hung, and the files open in a new one instead.
constexpr int kConnectMilliseconds = 2000;
constexpr int kAnswerMilliseconds = 15000;
// Far beyond any list of paths a file manager hands over; more is garbage.
constexpr qint64 kLargestMessage = qint64{64} * 1024 * 1024;
constexpr char kTaken = 'T';

QByteArray Message(const QStringList& paths) {
  QByteArray message;
  QDataStream out(&message, QIODevice::WriteOnly);
  out.setVersion(kStreamVersion);
  out << paths;
  return message;
}

bool WriteAll(QLocalSocket& socket, const QByteArray& bytes) {
  if (socket.write(bytes) != bytes.size()) {
    return false;
  }
  while (socket.bytesToWrite() > 0) {
    if (!socket.waitForBytesWritten(kAnswerMilliseconds)) {
      return false;
    }
  }
  return true;
}

}  // namespace

SingleInstance::SingleInstance(QString socketName, QObject* parent)
    : QObject(parent), m_socketName(std::move(socketName)) {
  connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::takeConnections);
}

QString SingleInstance::userSocketName() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) {
    return QDir(runtime).filePath(QStringLiteral("rowvane.socket"));
  }
  return QDir(QDir::tempPath())
      .filePath(QStringLiteral("rowvane-%1.socket").arg(static_cast<qulonglong>(getuid())));
}

bool SingleInstance::handOver(const QString& socketName, const QStringList& paths) {
  QLocalSocket socket;
  socket.connectToServer(socketName);
  if (!socket.waitForConnected(kConnectMilliseconds) || !WriteAll(socket, Message(paths))) {
    return false;
  }
  while (socket.bytesAvailable() < 1) {
    if (!socket.waitForReadyRead(kAnswerMilliseconds)) {
      return false;
    }
  }
  char answer = 0;
  return socket.getChar(&answer) && answer == kTaken;
}

bool SingleInstance::listen() {
  // Asked first, because listening replaces whatever the name holds: with
  // access options, the socket is made aside and renamed into place.
  QLocalSocket probe;
  probe.connectToServer(m_socketName);
  if (probe.waitForConnected(kConnectMilliseconds)) {
    return false;
  }
  // Only this user may connect.
  m_server.setSocketOptions(QLocalServer::UserAccessOption);
  QLocalServer::removeServer(m_socketName);
  return m_server.listen(m_socketName);
}

void SingleInstance::takeConnections() {
  while (QLocalSocket* socket = m_server.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readPaths(*socket); });
  }
}

void SingleInstance::readPaths(QLocalSocket& socket) {
  QDataStream in(&socket);
  in.setVersion(kStreamVersion);
  in.startTransaction();
  QStringList paths;
  in >> paths;
  if (!in.commitTransaction()) {
    // Incomplete: wait for the rest. Garbage: hang up, adding nothing.
    if (in.status() == QDataStream::ReadCorruptData || socket.bytesAvailable() > kLargestMessage) {
      socket.abort();
    }
    return;
  }
  socket.putChar(kTaken);
  socket.flush();
  socket.disconnectFromServer();
  emit pathsHandedOver(paths);
}

}  // namespace rowvane::app
