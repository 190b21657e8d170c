#pragma once

#include <array>
#include <ostream>
#include <streambuf>

namespace rowvane::cli {

/// The buffer beneath the program's standard output: it writes to the
/// descriptor itself and keeps the reason of the first write that failed,
/// which a stream's state alone cannot tell.
class StandardOutputBuffer : public std::streambuf {
 public:
  explicit StandardOutputBuffer(int fd) : m_fd(fd) {
    setp(m_bytes.data(), m_bytes.data() + m_bytes.size());
  }

  /// Flushes, closes the descriptor (a file system may report its errors
  /// only then) and gives `status`, or SomeFailed's code after saying why on
  /// `err` when output was lost and `status` said less. A reader that went
  /// away ends the program as a closed pipe does.
  int finish(std::ostream& err, int status);

 protected:
  int_type overflow(int_type next) override;
  int sync() override;

 private:
  bool drain();

  int m_fd;
  int m_error = 0;  // of the first write that failed
  std::array<char, 1 << 16> m_bytes{};
};

}  // namespace rowvane::cli
