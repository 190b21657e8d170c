#include "engine/io/AtomicOutputFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <set>
#include <string_view>
#include <utility>

#include "engine/core/Failure.h"
#include "engine/io/OutputNaming.h"
#include "engine/io/SystemError.h"

namespace rowvane {
namespace {

// Hidden, so that a half-written file never looks like a result. A file is
// created under the ".new" ending, which no clean-up ever touches, and takes
// the ".tmp" one only once it is locked.
constexpr std::string_view kTemporaryPrefix = ".rowvane-";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::string_view kCreatingSuffix = ".new";
constexpr std::string_view kTagDigits = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr std::size_t kTagLength = 12;
constexpr int kNameAttempts = 100;
constexpr std::uint64_t kWritebackStep = std::uint64_t{8} << 20;

std::string RandomTag() {
  std::random_device device;
  std::uniform_int_distribution<std::size_t> pick(0, kTagDigits.size() - 1);
  std::string tag(kTagLength, '0');
  for (char& c : tag) {
    c = kTagDigits[pick(device)];
  }
  return tag;
}

std::string TemporaryName(const std::string& tag, std::string_view suffix) {
  std::string name(kTemporaryPrefix);
  name.append(tag).append(suffix);
  return name;
}

/// Only names this class gives: anything else is somebody's own file.
bool IsGeneratedTemporaryName(std::string_view name) {
  if (name.size() != kTemporaryPrefix.size() + kTagLength + kTemporarySuffix.size() ||
      !name.starts_with(kTemporaryPrefix) || !name.ends_with(kTemporarySuffix)) {
    return false;
  }
  const std::string_view tag = name.substr(kTemporaryPrefix.size(), kTagLength);
  return tag.find_first_not_of(kTagDigits) == std::string_view::npos;
}

/// What the existing target asks of the new output: nothing when there is
/// none or it is a link, else the permissions to keep. Refuses a target one
/// may not write, judged by what a link points to, and the file
/// `neverReplace` names. One status call unless the target is a link.
std::optional<mode_t> CheckExistingTarget(
    int folder, const std::string& name,
    const std::optional<std::pair<std::uint64_t, std::uint64_t>>& neverReplace) {
  struct stat itself {};
  if (::fstatat(folder, name.c_str(), &itself, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) {
      return std::nullopt;
    }
    ThrowSystemError(FailureKind::Write);
  }
  struct stat pointedTo = itself;
  const bool isLink = S_ISLNK(itself.st_mode);
  if (isLink && ::fstatat(folder, name.c_str(), &pointedTo, 0) != 0) {
    if (errno == ENOENT) {
      return std::nullopt;  // a dangling link: the output takes its place
    }
    ThrowSystemError(FailureKind::Write);
  }
  if (neverReplace && pointedTo.st_dev == neverReplace->first &&
      pointedTo.st_ino == neverReplace->second) {
    throw ConversionError(FailureKind::Write, kOutputWouldReplaceInput);
  }
  if (S_ISDIR(pointedTo.st_mode)) {
    ThrowSystemError(FailureKind::Write, EISDIR);
  }
  if ((pointedTo.st_mode & S_IWUSR) == 0) {
    ThrowSystemError(FailureKind::Write, EACCES);
  }
  if (isLink) {
    return std::nullopt;  // a link's target says nothing of what this file should allow
  }
  // Set-user-ID, set-group-ID and sticky bits are never carried to a new file.
  return itself.st_mode & 0777;
}

using FileIdentity = std::pair<dev_t, ino_t>;

std::set<FileIdentity> IdentitiesOf(const std::vector<std::string>& paths) {
  std::set<FileIdentity> identities;
  for (const std::string& path : paths) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
      identities.emplace(info.st_dev, info.st_ino);
    }
  }
  return identities;
}

/// Removes `name` from `folder` when it is a regular file nobody holds
/// locked, not one of `inputs`, and the name still is that file.
bool RemoveWhenAbandoned(int folder, const char* name, const std::set<FileIdentity>& inputs) {
  const FileDescriptor file(
      ::openat(folder, name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
  if (!file.valid()) {
    return false;
  }
  struct stat opened {};
  if (::fstat(file.get(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
      inputs.contains({opened.st_dev, opened.st_ino}) ||
      ::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
    return false;
  }
  // Locked now, it cannot be taken up by a live run; it must still be the
  // file the name gives, not one that took the name since it was opened.
  struct stat named {};
  return ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         named.st_dev == opened.st_dev && named.st_ino == opened.st_ino &&
         ::unlinkat(folder, name, 0) == 0;
}

/// Renames without replacing anything; false when `to` is taken.
bool RenameIfFree(int folder, const std::string& from, const std::string& to) {
  if (::renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno == EEXIST) {
    return false;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    ThrowSystemError(FailureKind::Write);
  }
  // A file system without the no-replace rename: the random tag has to do.
  if (::renameat(folder, from.c_str(), folder, to.c_str()) != 0) {
    ThrowSystemError(FailureKind::Write);
  }
  return true;
}

}  // namespace

void SyncFolder(const std::string& folder) {
  FolderHandle::Open(folder)->sync();
}

std::size_t RemoveAbandonedTemporaryFiles(const std::string& folder,
                                          const std::vector<std::string>& inputs) {
  DIR* listing = ::opendir(folder.c_str());
  if (listing == nullptr) {
    return 0;
  }
  std::vector<std::string> candidates;
  while (const dirent* entry = ::readdir(listing)) {
    if (IsGeneratedTemporaryName(entry->d_name)) {
      candidates.emplace_back(entry->d_name);
    }
  }
  std::size_t removed = 0;
  if (!candidates.empty()) {
    const std::set<FileIdentity> inputIdentities = IdentitiesOf(inputs);
    for (const std::string& name : candidates) {
      removed += RemoveWhenAbandoned(::dirfd(listing), name.c_str(), inputIdentities) ? 1 : 0;
    }
  }
  ::closedir(listing);
  return removed;
}

std::string FolderOf(const std::string& path) {
  const auto separator = path.rfind('/');
  if (separator == std::string::npos) {
    return ".";
  }
  return separator == 0 ? "/" : path.substr(0, separator);
}

AtomicOutputFile::AtomicOutputFile(std::string targetPath, Options options)
    : m_targetPath(std::move(targetPath)),
      m_targetName(FileNameOf(m_targetPath)),
      m_options(std::move(options)) {
  if (m_targetPath.find('\0') != std::string::npos) {
    ThrowSystemError(FailureKind::Write, EINVAL);
  }
  m_folderShared = m_options.folder != nullptr;
  m_folder =
      m_folderShared ? std::move(m_options.folder) : FolderHandle::Open(FolderOf(m_targetPath));
  std::optional<mode_t> keptMode;
  checkTarget(&keptMode);
  createTemporary();
  if (keptMode && ::fchmod(m_file.get(), *keptMode) != 0) {
    const int error = errno;
    removeTemporary();
    ThrowSystemError(FailureKind::Write, error);
  }
}

void AtomicOutputFile::checkTarget(std::optional<mode_t>* keptMode) const {
  const std::optional<mode_t> mode =
      CheckExistingTarget(m_folder->fd(), m_targetName, m_options.neverReplace);
  if (keptMode != nullptr) {
    *keptMode = mode;
  }
}

AtomicOutputFile::~AtomicOutputFile() {
  removeTemporary();
}

void AtomicOutputFile::createTemporary() {
  if (!m_options.unnamedTemporary || !createUnnamed()) {
    createNamed();
  }
}

// False when this file system or system cannot give unnamed files a name
// later; the named way is taken then.
bool AtomicOutputFile::createUnnamed() {
  if (!m_folder->unnamedFilesLinkable()) {
    return false;  // no way to link the file later without a privilege
  }
  FileDescriptor file(::openat(m_folder->fd(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
  if (!file.valid()) {
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
      return false;
    }
    ThrowSystemError(FailureKind::Write);
  }
  // Without a name nobody can find it; the lock guards it once it has one.
  if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
    ThrowSystemError(FailureKind::Write);
  }
  m_file = std::move(file);
  return true;
}

void AtomicOutputFile::createNamed() {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string tag = RandomTag();
    const std::string creating = TemporaryName(tag, kCreatingSuffix);
    const std::string temporary = TemporaryName(tag, kTemporarySuffix);
    m_removedOnTermination.emplace(m_folder->fd(), creating, temporary);
    FileDescriptor file(
        ::openat(m_folder->fd(), creating.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!file.valid()) {
      m_removedOnTermination.reset();
      if (errno == EEXIST) {
        continue;
      }
      ThrowSystemError(FailureKind::Write);
    }
    bool named = false;
    try {
      if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
        ThrowSystemError(FailureKind::Write);
      }
      // Locked, it may take the name a clean-up looks for.
      named = RenameIfFree(m_folder->fd(), creating, temporary);
    } catch (const ConversionError&) {
      ::unlinkat(m_folder->fd(), creating.c_str(), 0);
      m_removedOnTermination.reset();
      throw;
    }
    if (named) {
      m_file = std::move(file);
      m_temporaryName = temporary;
      return;
    }
    ::unlinkat(m_folder->fd(), creating.c_str(), 0);
    m_removedOnTermination.reset();
  }
  ThrowSystemError(FailureKind::Write, EEXIST);
}

// An unnamed file is linked into the folder under a temporary name first:
// a link never replaces an existing file, the rename that follows does.
void AtomicOutputFile::giveTemporaryAName() {
  const std::string self = "/proc/self/fd/" + std::to_string(m_file.get());
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string name = TemporaryName(RandomTag(), kTemporarySuffix);
    m_removedOnTermination.emplace(m_folder->fd(), name, std::string_view());
    // Through /proc any user may link the file; the direct way needs a
    // privilege on some kernels, so it only stands in when /proc would not do.
    if (::linkat(AT_FDCWD, self.c_str(), m_folder->fd(), name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
        (errno != EEXIST &&
         ::linkat(m_file.get(), "", m_folder->fd(), name.c_str(), AT_EMPTY_PATH) == 0)) {
      m_temporaryName = std::move(name);
      return;
    }
    m_removedOnTermination.reset();
    if (errno != EEXIST) {
      ThrowSystemError(FailureKind::Write);
    }
  }
  ThrowSystemError(FailureKind::Write, EEXIST);
}

void AtomicOutputFile::removeTemporary() noexcept {
  // Removed while still locked, so no clean-up can meet it half-gone.
  if (!m_temporaryName.empty()) {
    ::unlinkat(m_folder->fd(), m_temporaryName.c_str(), 0);
    m_temporaryName.clear();
  }
  m_file.reset();
  m_removedOnTermination.reset();
}

void AtomicOutputFile::write(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t count = ::write(m_file.get(), data, size);
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
  if (m_options.syncFile && m_written - m_writebackFrom >= kWritebackStep) {
    ::sync_file_range(m_file.get(), static_cast<off_t>(m_writebackFrom),
                      static_cast<off_t>(m_written - m_writebackFrom), SYNC_FILE_RANGE_WRITE);
    m_writebackFrom = m_written;
  }
#endif
}

void AtomicOutputFile::discard() {
  if (::ftruncate(m_file.get(), 0) != 0 || ::lseek(m_file.get(), 0, SEEK_SET) != 0) {
    ThrowSystemError(FailureKind::Write);
  }
  m_written = 0;
  m_writebackFrom = 0;
}

void AtomicOutputFile::commit() {
  if (m_options.syncFile && ::fsync(m_file.get()) != 0) {
    ThrowSystemError(FailureKind::Write);
  }
  publish();
  if (m_options.syncFolder) {
    try {
      m_folder->sync();
    } catch (const ConversionError& error) {
      m_folderFlushProblem = error.what();  // the output stands; only its durability is in doubt
    }
  }
}

void AtomicOutputFile::flushData() {
  if (::fdatasync(m_file.get()) != 0) {
    ThrowSystemError(FailureKind::Write);
  }
}

void AtomicOutputFile::publish() {
  // It may have been made read-only meanwhile.
  checkTarget(nullptr);
  // An error only a close reports must stop the old output from being
  // replaced; closing a duplicate finds it while the locked one stays open.
  const int duplicate = ::fcntl(m_file.get(), F_DUPFD_CLOEXEC, 0);
  if (duplicate < 0 || ::close(duplicate) != 0) {
    ThrowSystemError(FailureKind::Write);
  }
  if (m_temporaryName.empty()) {
    giveTemporaryAName();
  }
  if (m_options.beforeRename) {
    m_options.beforeRename();
  }
  // The file lands in the folder that was opened, wherever it is now; the
  // next file opens the path again.
  if (m_folderShared) {
    m_folder->stillAtItsPath();
  }
  if (::renameat(m_folder->fd(), m_temporaryName.c_str(), m_folder->fd(), m_targetName.c_str()) !=
      0) {
    ThrowSystemError(FailureKind::Write);
  }
  m_temporaryName.clear();
  m_removedOnTermination.reset();
  m_file.reset();  // the lock goes only now that the output has its name
}

}  // namespace rowvane
