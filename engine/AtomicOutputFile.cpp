#include "engine/AtomicOutputFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <random>
#include <string_view>
#include <vector>

#include "engine/Failure.h"
#include "engine/SystemError.h"

namespace rowvane {
namespace {

// Hidden, so that a half-written file never looks like a result.
constexpr const char* kTemporaryPrefix = ".rowvane-";
constexpr const char* kTemporarySuffix = ".tmp";
constexpr int kNameAttempts = 100;
constexpr std::uint64_t kWritebackStep = std::uint64_t{8} << 20;

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
    ThrowSystemError(FailureKind::Write);
  }
  if (S_ISDIR(info.st_mode)) {
    ThrowSystemError(FailureKind::Write, EISDIR);
  }
  if ((info.st_mode & S_IWUSR) == 0) {
    ThrowSystemError(FailureKind::Write, EACCES);
  }
  return info.st_mode & 07777;
}

bool IsTemporaryName(std::string_view name) {
  const std::string_view prefix = kTemporaryPrefix;
  const std::string_view suffix = kTemporarySuffix;
  return name.size() > prefix.size() + suffix.size() && name.starts_with(prefix) &&
         name.ends_with(suffix);
}

/// Removes `path` when it is a regular file nobody holds locked.
bool RemoveWhenAbandoned(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    return false;
  }
  struct stat info {};
  bool removed = false;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    removed = ::unlink(path.c_str()) == 0;
  }
  ::close(fd);
  return removed;
}

}  // namespace

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    ThrowSystemError(FailureKind::Write);
  }
  const int result = ::fsync(fd);
  const int error = errno;
  ::close(fd);
  if (result != 0 && error != EINVAL) {  // some file systems cannot sync folders
    ThrowSystemError(FailureKind::Write, error);
  }
}

std::size_t RemoveAbandonedTemporaryFiles(const std::string& folder) {
  DIR* listing = ::opendir(folder.c_str());
  if (listing == nullptr) {
    return 0;
  }
  std::vector<std::string> candidates;
  while (const dirent* entry = ::readdir(listing)) {
    if (IsTemporaryName(entry->d_name)) {
      candidates.emplace_back(entry->d_name);
    }
  }
  ::closedir(listing);
  std::size_t removed = 0;
  for (const std::string& name : candidates) {
    removed += RemoveWhenAbandoned(folder + "/" + name) ? 1 : 0;
  }
  return removed;
}

std::string FolderOf(const std::string& path) {
  const auto separator = path.rfind('/');
  if (separator == std::string::npos) {
    return ".";
  }
  return separator == 0 ? "/" : path.substr(0, separator);
}

AtomicOutputFile::AtomicOutputFile(std::string targetPath, Durability durability)
    : m_targetPath(std::move(targetPath)),
      m_folder(FolderOf(m_targetPath)),
      m_durability(durability) {
  if (m_targetPath.find('\0') != std::string::npos) {
    ThrowSystemError(FailureKind::Write, EINVAL);
  }
  const std::optional<mode_t> existingMode = CheckExistingTarget(m_targetPath);
  createTemporary();
  if (existingMode && ::fchmod(m_fd, *existingMode) != 0) {
    const int error = errno;
    removeTemporary();
    ThrowSystemError(FailureKind::Write, error);
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
      // Held until the file is renamed or removed; a killed process drops it.
      ::flock(m_fd, LOCK_EX | LOCK_NB);
      return;
    }
    if (errno != EEXIST) {
      ThrowSystemError(FailureKind::Write);
    }
  }
  ThrowSystemError(FailureKind::Write, EEXIST);
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
      ThrowSystemError(FailureKind::Write);
    }
    if (count == 0) {
      ThrowSystemError(FailureKind::Write, ENOSPC);
    }
    data += count;
    size -= static_cast<std::size_t>(count);
    m_written += static_cast<std::uint64_t>(count);
  }
  startWritebackWhenDue();
}

void AtomicOutputFile::startWritebackWhenDue() {
#ifdef __linux__
  // Starting the disk writes as the file grows leaves less for the final
  // fsync to wait for. Only a hint: its failure is found by that fsync.
  if (m_durability.syncFile && m_written - m_writebackFrom >= kWritebackStep) {
    ::sync_file_range(m_fd, static_cast<off_t>(m_writebackFrom),
                      static_cast<off_t>(m_written - m_writebackFrom), SYNC_FILE_RANGE_WRITE);
    m_writebackFrom = m_written;
  }
#endif
}

void AtomicOutputFile::discard() {
  if (::ftruncate(m_fd, 0) != 0 || ::lseek(m_fd, 0, SEEK_SET) != 0) {
    ThrowSystemError(FailureKind::Write);
  }
  m_written = 0;
  m_writebackFrom = 0;
}

void AtomicOutputFile::commit() {
  CheckExistingTarget(m_targetPath);  // it may have been made read-only meanwhile
  if (m_durability.syncFile && ::fsync(m_fd) != 0) {
    ThrowSystemError(FailureKind::Write);
  }
  // Closed before the rename: an error the close reports must stop the old
  // output from being replaced.
  const int fd = m_fd;
  m_fd = -1;
  if (::close(fd) != 0) {
    ThrowSystemError(FailureKind::Write);
  }
  if (::rename(m_temporaryPath.c_str(), m_targetPath.c_str()) != 0) {
    ThrowSystemError(FailureKind::Write);
  }
  m_temporaryPath.clear();
  if (m_durability.syncFolder) {
    try {
      SyncFolder(m_folder);
    } catch (const ConversionError& error) {
      m_folderFlushProblem = error.what();  // the output stands; only its durability is in doubt
    }
  }
}

}  // namespace rowvane
