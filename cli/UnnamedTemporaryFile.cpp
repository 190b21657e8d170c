#include "cli/UnnamedTemporaryFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/Conversion.h"

namespace rowvane::cli {
namespace {

constexpr std::size_t kCopyChunk = std::size_t{1} << 18;

std::string TemporaryFolder() {
  const char* folder = std::getenv("TMPDIR");
  return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

int OpenUnnamed(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
    return fd;
  }
  // A file system without unnamed files: make a named one and drop its name at once.
  std::string pattern = folder + "/rowvane-spool-XXXXXX";
  const int named = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (named >= 0) {
    ::unlink(pattern.c_str());
  }
  return named;
}

}  // namespace

UnnamedTemporaryFile::UnnamedTemporaryFile()
    : m_folder(TemporaryFolder()), m_fd(OpenUnnamed(m_folder)) {
  if (m_fd.get() < 0) {
    fail(FailureKind::Write, "cannot create");
  }
}

// The folder is named: with TMPDIR unset or set elsewhere, the user could not tell.
void UnnamedTemporaryFile::fail(FailureKind kind, const char* what) const {
  const int error = errno;  // before anything here can change it
  throw ConversionError(
      kind, "temporary file in " + m_folder + ": " + what + ": " + std::strerror(error), error);
}

void UnnamedTemporaryFile::write(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t count = ::write(m_fd.get(), data, size);
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      fail(FailureKind::Write, "cannot write");
    }
    data += count;
    size -= static_cast<std::size_t>(count);
    m_size += static_cast<std::uint64_t>(count);
  }
}

void UnnamedTemporaryFile::discard() {
  if (::ftruncate(m_fd.get(), 0) != 0 || ::lseek(m_fd.get(), 0, SEEK_SET) != 0) {
    fail(FailureKind::Write, "cannot empty");
  }
  m_size = 0;
}

std::size_t UnnamedTemporaryFile::read(char* buffer, std::size_t capacity) {
  for (;;) {
    const ssize_t count = ::read(m_fd.get(), buffer, capacity);
    if (count >= 0) {
      return static_cast<std::size_t>(count);
    }
    if (errno != EINTR) {
      fail(FailureKind::Read, "cannot read");
    }
  }
}

void UnnamedTemporaryFile::rewind() {
  if (::lseek(m_fd.get(), 0, SEEK_SET) != 0) {
    fail(FailureKind::Read, "cannot rewind");
  }
}

void UnnamedTemporaryFile::fillFrom(int fd) {
  DescriptorSource source(fd);
  std::vector<char> buffer(kCopyChunk);
  for (std::size_t count = source.read(buffer.data(), buffer.size()); count > 0;
       count = source.read(buffer.data(), buffer.size())) {
    write(buffer.data(), count);
  }
}

void UnnamedTemporaryFile::copyTo(OutputSink& sink) {
  rewind();
  std::vector<char> buffer(kCopyChunk);
  for (std::size_t count = read(buffer.data(), buffer.size()); count > 0;
       count = read(buffer.data(), buffer.size())) {
    sink.write(buffer.data(), count);
  }
}

}  // namespace rowvane::cli
