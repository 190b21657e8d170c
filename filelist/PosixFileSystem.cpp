#include "filelist/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <memory>
#include <sstream>
#include <string_view>
#include <utility>

#include "filelist/NameOrder.h"
#include "filelist/PseudoMounts.h"
#include "filelist/WildcardMatch.h"

namespace rowvane {
namespace {

/// Owns a file descriptor and closes it on every path.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : m_fd(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (m_fd >= 0) {
      ::close(m_fd);
    }
  }
  int get() const { return m_fd; }

 private:
  int m_fd;
};

struct DirectoryCloser {
  void operator()(DIR* directory) const { ::closedir(directory); }
};
using DirectoryHandle = std::unique_ptr<DIR, DirectoryCloser>;

std::string ReadMountInfo() {
  std::ifstream in("/proc/self/mountinfo");
  std::ostringstream text;
  if (in) {
    text << in.rdbuf();
  }
  return text.str();
}

/// `path` without its trailing separators; the root stays "/".
std::string WithoutTrailingSeparators(const std::string& path) {
  const auto last = path.find_last_not_of('/');
  return last == std::string::npos ? std::string("/") : path.substr(0, last + 1);
}

std::string_view LastNameOf(std::string_view trimmedPath) {
  const auto slash = trimmedPath.rfind('/');
  return slash == std::string_view::npos ? trimmedPath : trimmedPath.substr(slash + 1);
}

bool IsHiddenName(std::string_view name) {
  return name.starts_with('.') && name != "." && name != "..";
}

bool IsDotOrDotDot(std::string_view name) {
  return name == "." || name == "..";
}

std::string JoinPath(const std::string& folder, std::string_view name) {
  std::string path = folder;
  if (!path.ends_with('/')) {
    path += '/';
  }
  path += name;
  return path;
}

Attributes ReadOnlyBit(const struct stat& status) {
  return (status.st_mode & S_IWUSR) == 0 ? attribute::kReadOnly : 0;
}

// Any bytes but NUL name a file here, UTF-8 or not.
bool IsUsablePath(const std::string& path) {
  return !path.empty() && path.find('\0') == std::string::npos;
}

}  // namespace

PosixFileSystem::PosixFileSystem() : m_pseudoDevices(PseudoFileSystemDevices(ReadMountInfo())) {}

PosixFileSystem::PosixFileSystem(std::set<std::uint64_t> pseudoDevices)
    : m_pseudoDevices(std::move(pseudoDevices)) {}

bool PosixFileSystem::isPseudoMountPoint(const std::string& path, std::uint64_t device) const {
  if (!m_pseudoDevices.contains(device)) {
    return false;
  }
  // A folder on a pseudo file system is its mount point when its parent lies
  // on another device; ".." is resolved physically, after any link.
  struct stat parent {};
  if (::stat((path + "/..").c_str(), &parent) != 0) {
    return false;
  }
  struct stat self {};
  if (::stat(path.c_str(), &self) != 0) {
    return false;
  }
  const bool isFileSystemRoot = parent.st_dev == self.st_dev && parent.st_ino == self.st_ino;
  return parent.st_dev != self.st_dev || isFileSystemRoot;
}

/// Type and read-only bits of what `path` leads to (links followed); 0 when
/// nothing is there.
Attributes PosixFileSystem::targetBits(const std::string& path) const {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    return 0;
  }
  return bitsOf(path, status);
}

Attributes PosixFileSystem::bitsOf(const std::string& path, const struct stat& status) const {
  if (S_ISDIR(status.st_mode)) {
    if (isPseudoMountPoint(path, status.st_dev)) {
      return attribute::kProtectedFolder;
    }
    return attribute::kDirectory | ReadOnlyBit(status);
  }
  if (S_ISREG(status.st_mode)) {
    return attribute::kArchive | ReadOnlyBit(status);
  }
  return attribute::kSystem | ReadOnlyBit(status);
}

std::optional<Attributes> PosixFileSystem::attributesOf(const std::string& path) const {
  if (!IsUsablePath(path)) {
    return std::nullopt;
  }
  // A trailing separator asks for a folder, but must not hide that the folder
  // itself is a link.
  const std::string trimmed = WithoutTrailingSeparators(path);
  struct stat own {};
  if (::lstat(trimmed.c_str(), &own) != 0) {
    return std::nullopt;
  }
  // What is not a link is its own target: no second status call for it.
  const Attributes target = S_ISLNK(own.st_mode) ? targetBits(trimmed) : bitsOf(trimmed, own);
  if (path.ends_with('/') && (target & attribute::kDirectory) == 0) {
    return std::nullopt;
  }
  const Attributes hidden = IsHiddenName(LastNameOf(trimmed)) ? attribute::kHidden : 0;
  if (S_ISLNK(own.st_mode)) {
    return attribute::kReparsePoint | hidden | target;
  }
  return hidden | target;
}

std::vector<std::string> PosixFileSystem::search(const std::string& folder,
                                                 const std::string& pattern,
                                                 Attributes mask) const {
  std::vector<std::string> names;
  if (!IsUsablePath(folder)) {
    return names;
  }
  const DirectoryHandle directory(::opendir(folder.c_str()));
  if (!directory) {
    return names;
  }
  while (const dirent* entry = ::readdir(directory.get())) {
    const std::string_view name = entry->d_name;
    if (IsDotOrDotDot(name) || !MatchesWildcard(pattern, name)) {
      continue;
    }
    const auto value = attributesOf(JoinPath(folder, name));
    if (value && PassesSearchMask(*value, mask)) {
      names.emplace_back(name);
    }
  }
  SortInPlatformOrder(names);
  return names;
}

SubFolderListing PosixFileSystem::subFoldersOf(const std::string& folder) const {
  SubFolderListing listing;
  if (!IsUsablePath(folder)) {
    listing.error = ListingError::Other;
    return listing;
  }
  const DirectoryHandle directory(::opendir(folder.c_str()));
  if (!directory) {
    const bool denied = errno == EACCES || errno == EPERM;
    listing.error = denied ? ListingError::PermissionDenied : ListingError::Other;
    return listing;
  }
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(directory.get());
    if (entry == nullptr) {
      if (errno != 0) {
        listing.error = ListingError::Other;
      }
      break;
    }
    if (IsDotOrDotDot(entry->d_name)) {
      continue;
    }
    // Relative to the open folder, so names that are not UTF-8 still count;
    // the walk decides what to do with them.
    struct stat status {};
    if (::fstatat(::dirfd(directory.get()), entry->d_name, &status, 0) == 0 &&
        S_ISDIR(status.st_mode)) {
      listing.names.emplace_back(entry->d_name);
    }
  }
  SortInPlatformOrder(listing.names);
  return listing;
}

bool PosixFileSystem::canOpen(const std::string& path) const {
  if (!IsUsablePath(path)) {
    return false;
  }
  // O_PATH opens without asking for read or write access.
  const FileDescriptor file(::open(path.c_str(), O_PATH | O_CLOEXEC));
  struct stat status {};
  return file.get() >= 0 && ::fstat(file.get(), &status) == 0 && S_ISREG(status.st_mode);
}

std::optional<FolderIdentity> PosixFileSystem::identityOf(const std::string& path) const {
  struct stat status {};
  if (!IsUsablePath(path) || ::stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
    return std::nullopt;
  }
  return FolderIdentity{status.st_dev, status.st_ino};
}

bool PosixFileSystem::isRootFolder(const std::string& path) const {
  const auto folder = identityOf(path);
  const auto root = identityOf("/");
  return folder && root && *folder == *root;
}

}  // namespace rowvane
