#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalSocket;

namespace rowvane::app {

/// One window per user for files opened from outside: the running window
/// listens on a per-user local socket, and a later start with files hands
/// them over to it instead of opening a window of its own.
class SingleInstance : public QObject {
  Q_OBJECT

 public:
  explicit SingleInstance(QString socketName, QObject* parent = nullptr);

  /// The socket of this user's running window: in the user's private runtime
  /// folder, or named after the user in the temporary folder without one.
  static QString userSocketName();

  /// Hands `paths` to the window listening on `socketName`. True only when
  /// that window confirmed it took them; nothing is lost on false, the
  /// caller still has the paths.
  static bool handOver(const QString& socketName, const QStringList& paths);

  /// Starts listening. False when another window answers on the name
  /// already; a name left behind by a window that ended abruptly is taken
  /// over.
  bool listen();

 signals:
  /// Paths a later start handed over, to be added as if dropped.
  void pathsHandedOver(const QStringList& paths);

 private:
  void takeConnections();
  void readPaths(QLocalSocket& socket);

  QString m_socketName;
  QLocalServer m_server;
};

}  // namespace rowvane::app
