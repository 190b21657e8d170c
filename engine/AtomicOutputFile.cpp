#include "AtomicOutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <random>

#include "Failure.h"
#include "SystemError.h"

namespace rowvane {
namespace {

// Hidden, so that a half-written file never looks like a result.
constexpr const char* kTemporaryPrefix = ".rowvane-";
constexpr const char* kTemporarySuffix = ".tmp";
constexpr int kNameAttempts = 100;

std::string RandomTag() {
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::random_device device;
  std::uniform_int_distribution<int> pick(0, 35);
  std::string tag(12, '0');
  for (char& c : tag) {
    c = kDigits[pick(device)];
  }
  return tag;
}

/// The target's mode when it exists; refuses one its owner may not write.
std::optional<mode_t> CheckExistingTarget(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT) {
      return std::nullopt;
    }
    ThrowSystemError(Step::Write);
  }
  if (S_ISDIR(info.st_mode)) {
    ThrowSystemError(Step::Write, EISDIR);
  }
  if ((info.st_mode & S_IWUSR) == 0) {
    ThrowSystemError(Step::Write, EACCES);
  }
  return info.st_mode & 07777;
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    ThrowSystemError(Step::Write);
  }
  const int result = ::fsync(fd);
  const int error = errno;
  ::close(fd);
  if (result != 0 && error != EINVAL) {  // some file systems cannot sync folders
    ThrowSystemError(Step::Write, error);
  }
}

}  // namespace

std::string FolderOf(const std::string& path) {
  const auto separator = path.rfind('/');
  if (separator == std::string::npos) {
    return ".";
  }
  return separator == 0 ? "/" : path.substr(0, separator);
}

AtomicOutputFile::AtomicOutputFile(std::string targetPath, bool syncToDisk)
    : m_targetPath(std::move(targetPath)), m_folder(FolderOf(m_targetPath)), m_sync(syncToDisk) {
  if (m_targetPath.find('\0') != std::string::npos) {
    ThrowSystemError(Step::Write, EINVAL);
  }
  const std::optional<mode_t> existingMode = CheckExistingTarget(m_targetPath);
  createTemporary();
  if (existingMode && ::fchmod(m_fd, *existingMode) != 0) {
    const int error = errno;
    removeTemporary();
    ThrowSystemError(Step::Write, error);
  }
}

AtomicOutputFile::~AtomicOutputFile() {
  removeTemporary();
}

void AtomicOutputFile::createTemporary() {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string candidate = m_folder;
    if (candidate.back() != '/') {
      candidate.push_back('/');
    }
    candidate.append(kTemporaryPrefix).append(RandomTag()).append(kTemporarySuffix);
    m_fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_fd >= 0) {
      m_temporaryPath = std::move(candidate);
      return;
    }
    if (errno != EEXIST) {
      ThrowSystemError(Step::Write);
    }
  }
  ThrowSystemError(Step::Write, EEXIST);
}

void AtomicOutputFile::removeTemporary() noexcept {
  if (m_fd >= 0) {
    ::close(m_fd);
    m_fd = -1;
  }
  if (!m_temporaryPath.empty()) {
    ::unlink(m_temporaryPath.c_str());
    m_temporaryPath.clear();
  }
}

void AtomicOutputFile::write(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t count = ::write(m_fd, data, size);
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      ThrowSystemError(Step::Write);
    }
    if (count == 0) {
      ThrowSystemError(Step::Write, ENOSPC);
    }
    data += count;
    size -= static_cast<std::size_t>(count);
    m_written += static_cast<std::uint64_t>(count);
  }
}

void AtomicOutputFile::discard() {
  if (::ftruncate(m_fd, 0) != 0 || ::lseek(m_fd, 0, SEEK_SET) != 0) {
    ThrowSystemError(Step::Write);
  }
  m_written = 0;
}

void AtomicOutputFile::commit() {
  CheckExistingTarget(m_targetPath);  // it may have been made read-only meanwhile
  if (m_sync && ::fsync(m_fd) != 0) {
    ThrowSystemError(Step::Write);
  }
  const int fd = m_fd;
  m_fd = -1;
  if (::close(fd) != 0) {
    ThrowSystemError(Step::Write);
  }
  if (::rename(m_temporaryPath.c_str(), m_targetPath.c_str()) != 0) {
    ThrowSystemError(Step::Write);
  }
  m_temporaryPath.clear();
  if (m_sync) {
    SyncFolder(m_folder);
  }
}

}  // namespace rowvane
