#include "engine/io/SpillFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "engine/io/SystemError.h"

namespace rowvane {
namespace {

std::string TemporaryFolder(const std::string& folder) {
  if (!folder.empty()) {
    return folder;
  }
  const char* fromEnvironment = std::getenv("TMPDIR");
  return fromEnvironment != nullptr && *fromEnvironment != '\0' ? fromEnvironment : "/tmp";
}

int OpenUnnamed(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
    return fd;
  }
  std::string pattern = folder + "/rowvane-spill-XXXXXX";
  const int named = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (named >= 0) {
    ::unlink(pattern.c_str());
  }
  return named;
}

}  // namespace

SpillFile::SpillFile(const std::string& folder)
    : m_folder(TemporaryFolder(folder)), m_fd(OpenUnnamed(m_folder)) {
  if (!m_fd.valid()) {
    fail("cannot create");
  }
}

void SpillFile::fail(const char* what) const {
  const int error = errno;
  throw ConversionError(FailureKind::Write,
                        "temporary file in " + m_folder + ": " + what + ": " + SystemMessage(error),
                        error);
}

void SpillFile::append(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t count = ::pwrite(m_fd.get(), data, size, static_cast<off_t>(m_size));
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      fail("cannot write");
    }
    data += count;
    size -= static_cast<std::size_t>(count);
    m_size += static_cast<std::uint64_t>(count);
  }
}

std::size_t SpillFile::readAt(std::uint64_t offset, char* buffer, std::size_t capacity) const {
  std::size_t done = 0;
  while (done < capacity && offset + done < m_size) {
    const ssize_t count =
        ::pread(m_fd.get(), buffer + done, capacity - done, static_cast<off_t>(offset + done));
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      fail("cannot read");
    }
    if (count == 0) {
      break;
    }
    done += static_cast<std::size_t>(count);
  }
  return done;
}

}  // namespace rowvane
