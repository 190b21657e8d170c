#include "app/desktop/HandOverLock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <QFile>

namespace rowvane::app {

HandOverLock::HandOverLock(QString path) : m_path(std::move(path)) {}

bool HandOverLock::take() {
  if (m_held || m_path.isEmpty()) {
    return m_held;
  }
  if (!m_file.valid()) {
    m_file.reset(::open(QFile::encodeName(m_path).constData(),
                        O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  }
  m_held = m_file.valid() && ::flock(m_file.get(), LOCK_EX | LOCK_NB) == 0;
  return m_held;
}

void HandOverLock::release() {
  m_file.reset();
  m_held = false;
}

}  // namespace rowvane::app
