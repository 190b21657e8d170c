#include "cli/StandardOutput.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "cli/ClosedPipe.h"
#include "cli/FailureReport.h"

namespace rowvane::cli {

bool StandardOutputBuffer::drain() {
  const char* at = pbase();
  while (at < pptr() && m_error == 0) {
    const ssize_t written = ::write(m_fd, at, static_cast<std::size_t>(pptr() - at));
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      m_error = written < 0 ? errno : EIO;
      break;
    }
    at += written;
  }
  // What could not be written is dropped: the output is lost either way.
  setp(m_bytes.data(), m_bytes.data() + m_bytes.size());
  return m_error == 0;
}

StandardOutputBuffer::int_type StandardOutputBuffer::overflow(int_type next) {
  if (!drain()) {
    return traits_type::eof();
  }
  if (!traits_type::eq_int_type(next, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(next);
    pbump(1);
  }
  return traits_type::not_eof(next);
}

int StandardOutputBuffer::sync() {
  return drain() ? 0 : -1;
}

int StandardOutputBuffer::finish(std::ostream& err, int status) {
  drain();
  // Nothing is written after this; a descriptor closed from the start had
  // nothing to lose.
  if (m_error == 0 && ::close(m_fd) != 0 && errno != EBADF && errno != EINTR) {
    m_error = errno;
  }
  if (m_error == 0) {
    return status;
  }
  if (m_error == EPIPE) {
    EndAsClosedPipe();  // its reader went away, as a filter's does
  }
  err << "rowvane-cli: standard output: cannot write: " << std::strerror(m_error) << '\n';
  err.flush();
  return std::max(status, static_cast<int>(ExitStatus::SomeFailed));
}

}  // namespace rowvane::cli
