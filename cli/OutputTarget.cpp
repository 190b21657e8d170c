#include "cli/OutputTarget.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <linux/magic.h>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <utility>
#include <vector>

#include "cli/CliOptions.h"
#include "engine/Files.h"

namespace rowvane::cli {
namespace {

// As many links as the kernel itself follows in one path.
constexpr int kMostLinks = 40;

std::optional<FileIdentity> IdentityOf(const struct stat& info) {
  if (!S_ISREG(info.st_mode)) {
    return std::nullopt;
  }
  return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                      static_cast<std::uint64_t>(info.st_ino)};
}

// Links in /proc are not names of files but doors to open ones: following
// their text would lose a pipe, a terminal or the offset of an appended file.
bool IsInProcessTable(const std::string& link) {
  struct statfs folder {};
  return ::statfs(FolderOf(link).c_str(), &folder) == 0 && folder.f_type == PROC_SUPER_MAGIC;
}

bool IsOwnDescriptorFolder(const std::string& folder) {
  struct stat own {};
  struct stat given {};
  return ::stat("/proc/self/fd", &own) == 0 && ::stat(folder.c_str(), &given) == 0 &&
         own.st_dev == given.st_dev && own.st_ino == given.st_ino;
}

// N when `link` is /proc/self/fd/N (by whatever name that folder goes).
std::optional<int> OwnDescriptorNamed(const std::string& link) {
  const std::string name = FileNameOf(link);
  int descriptor = -1;
  const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), descriptor);
  if (error != std::errc() || end != name.data() + name.size() || descriptor < 0 ||
      !IsOwnDescriptorFolder(FolderOf(link))) {
    return std::nullopt;
  }
  return descriptor;
}

std::string ReadLink(const std::string& link) {
  std::vector<char> text(256);
  for (;;) {
    const ssize_t length = ::readlink(link.c_str(), text.data(), text.size());
    if (length < 0) {
      ThrowSystemError(FailureKind::Write);
    }
    if (static_cast<std::size_t>(length) < text.size()) {
      return std::string(text.data(), static_cast<std::size_t>(length));
    }
    text.resize(text.size() * 2);
  }
}

// Where a link leads: its text, taken from the link's own folder when relative.
std::string Followed(const std::string& link) {
  const std::string text = ReadLink(link);
  if (text.starts_with('/')) {
    return text;
  }
  return FolderOf(link) + "/" + text;
}

OutputTarget Judged(std::string path) {
  for (int hops = 0; hops <= kMostLinks; ++hops) {
    struct stat itself {};
    if (::lstat(path.c_str(), &itself) != 0) {
      // Missing (or not to be looked at): the save names the reason if any.
      return {OutputTarget::Kind::Replaced, std::move(path)};
    }
    if (S_ISREG(itself.st_mode)) {
      return {OutputTarget::Kind::Replaced, path};
    }
    if (!S_ISLNK(itself.st_mode)) {
      return {OutputTarget::Kind::InPlace, path};
    }
    if (IsInProcessTable(path)) {
      if (const auto descriptor = OwnDescriptorNamed(path)) {
        return {OutputTarget::Kind::Descriptor, {}, *descriptor};
      }
      return {OutputTarget::Kind::InPlace, path};
    }
    path = Followed(path);
  }
  ThrowSystemError(FailureKind::Write, ELOOP);
}

}  // namespace

OutputTarget ResolveOutputTarget(const std::string& outputFile) {
  if (outputFile == kStandardStream) {
    return {OutputTarget::Kind::Descriptor, {}, STDOUT_FILENO};
  }
  return Judged(outputFile);
}

rowvane::FileDescriptor OpenInPlace(const std::string& path) {
  rowvane::FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) {
    const int error = errno;
    throw ConversionError(FailureKind::Write, std::strerror(error), error);
  }
  return fd;
}

std::optional<FileIdentity> RegularFileAt(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? IdentityOf(info) : std::nullopt;
}

std::optional<FileIdentity> RegularFileOn(int fd) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 ? IdentityOf(info) : std::nullopt;
}

}  // namespace rowvane::cli
