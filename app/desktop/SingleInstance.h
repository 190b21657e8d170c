#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <list>
#include <memory>

#include "app/desktop/HandOverFolder.h"
#include "app/desktop/HandOverLock.h"
#include "app/desktop/HandOverMessage.h"
#include "engine/Files.h"

namespace rowvane::app {

/// How a hand-over went: `taken` when the listening window confirmed it took
/// the paths; else the caller still has them, and `problem` says why when
/// the user should know (a listener of another user).
struct HandOverAnswer {
  bool taken = false;
  QString problem;
};

/// One window per user for files opened from outside: the window that holds
/// the lock listens on a socket in the user's private folder, and a later
/// start with files hands them over to it instead of opening a window of
/// its own. Every other window stands by and takes over the socket when
/// that window ends. Only this user's processes are heard, a few at a time,
/// each for a few seconds and within a bound of memory.
class SingleInstance : public QObject {
  Q_OBJECT

 public:
  /// Connections served at once; further ones are closed at once.
  static constexpr int kMostConnections = 8;
  /// A connection that has not sent its whole message by then is closed.
  static constexpr int kConnectionMilliseconds = 3000;
  /// All connections together may have sent this much unfinished; the one
  /// that goes beyond is closed. Far beyond any list a command line holds.
  static constexpr qint64 kMostBufferedBytes = qint64{32} * 1024 * 1024;

  /// Listens at once when `lock` is held or can be taken; else stands by.
  SingleInstance(HandOverFolder folder, HandOverLock lock, QObject* parent = nullptr);
  ~SingleInstance() override;

  bool listening() const { return m_listener.valid(); }

  /// Hands `paths`, and `workingFolder` for any relative one, to the window
  /// listening in `folder`, if it is this user's. A listener that is
  /// starting (it holds the lock) is waited for a moment.
  static HandOverAnswer handOver(const HandOverFolder& folder, const QStringList& paths,
                                 const QString& workingFolder);

 signals:
  /// Paths a later start handed over, to be added as if dropped.
  void pathsHandedOver(const QStringList& paths);

 private:
  struct Connection {
    FileDescriptor socket;
    std::unique_ptr<QSocketNotifier> readable;
    QDeadlineTimer deadline;
    qint64 received = 0;
    HandOverReader reader;
  };

  void standBy();
  bool listen();
  void acceptConnections();
  bool shedConnectionBeyondDescriptors();
  void serve(FileDescriptor socket);
  void readFrom(Connection& connection);
  void answer(Connection& connection);
  void close(Connection& connection);
  void closeExpired();
  void dropClosed();

  HandOverFolder m_folder;
  HandOverLock m_lock;
  FileDescriptor m_listener;
  std::unique_ptr<QSocketNotifier> m_incoming;
  // Kept open to be given up when descriptors run out, so that a waiting
  // connection can still be accepted and closed instead of waking the
  // listener forever.
  FileDescriptor m_spare;
  QTimer m_standBy;
  QTimer m_expiry;
  std::list<Connection> m_connections;
  qint64 m_buffered = 0;
  bool m_dropQueued = false;
};

}  // namespace rowvane::app
