#pragma once

#include <QString>

#include "engine/Files.h"

namespace rowvane::app {

/// The right to listen on the hand-over socket: a lock on a file beside it,
/// held by one process at a time for as long as it lives, so that two
/// windows never listen at once and the socket of one that ended (however
/// it ended) can be taken over.
class HandOverLock {
 public:
  HandOverLock() = default;  // stands for no folder: never taken
  explicit HandOverLock(QString path);

  /// True when this process holds the lock, now or from before. Never waits.
  bool take();
  bool held() const { return m_held; }
  /// Lets another process take it.
  void release();

 private:
  QString m_path;
  FileDescriptor m_file;
  bool m_held = false;
};

}  // namespace rowvane::app
