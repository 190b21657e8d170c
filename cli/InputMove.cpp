#include "cli/InputMove.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "engine/Files.h"
#include "filelist/WildcardMatch.h"

namespace rowvane::cli {
namespace {

constexpr unsigned kMostNumberedNames = 100000;
constexpr const char* kCopyName = ".rowvane-move";

std::string Reason(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

std::size_t EndingStart(const std::string& name) {
  for (const char* ending : {".csv.gz", ".csv"}) {
    const std::string pattern = std::string("*") + ending;
    if (MatchesWildcard(pattern, name)) {
      return name.size() - std::strlen(ending);
    }
  }
  return name.size();
}

// Tries each free name in turn with `place`, which fails with EEXIST when the
// name is taken; gives the name used.
template <typename Place>
std::variant<std::string, MoveProblem> PlaceUnderFreeName(const std::string& name, Place place) {
  for (unsigned number = 0; number < kMostNumberedNames; ++number) {
    const std::string candidate = NumberedName(name, number);
    if (place(candidate) == 0) {
      return candidate;
    }
    if (const int error = errno; error != EEXIST) {
      return MoveProblem{Reason("cannot move it", error), error};
    }
  }
  return MoveProblem{"cannot move it: every numbered name is taken"};
}

bool CopyBytes(int from, int to, std::uint64_t size) {
  off_t offset = 0;
  while (static_cast<std::uint64_t>(offset) < size) {
    const ssize_t sent = ::sendfile(to, from, &offset, size - static_cast<std::uint64_t>(offset));
    if (sent < 0 && errno == EINTR) {
      continue;
    }
    if (sent <= 0) {
      if (sent == 0) {
        errno = EIO;  // the file shrank while it was copied
      }
      return false;
    }
  }
  return true;
}

// Copies the bytes, rights and times of `source` into `copy` and flushes it.
// The copy is the mover's own file: a set-user-ID or set-group-ID bit that a
// dropper gave the original would make it a program run as the mover.
bool CopyWhole(int source, const struct stat& info, int copy) {
  const struct timespec times[2] = {info.st_atim, info.st_mtim};
  return CopyBytes(source, copy, static_cast<std::uint64_t>(info.st_size)) &&
         ::fchmod(copy, info.st_mode & 0777) == 0 && ::futimens(copy, times) == 0 &&
         ::fsync(copy) == 0;
}

// The copy for a move across file systems, written where it has no name yet
// (an unnamed file; where the file system has none, a hidden temporary
// name), flushed, then linked under its final name, so that a name in
// `folder` is only ever a whole copy, and a killed copy leaves nothing.
std::variant<std::string, MoveProblem> CopyIntoFolder(int from, int folder,
                                                      const std::string& name) {
  const FileDescriptor source(
      ::openat(from, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat info {};
  if (!source.valid() || ::fstat(source.get(), &info) != 0) {
    return MoveProblem{Reason("cannot read it", errno)};
  }
  if (!S_ISREG(info.st_mode)) {
    return MoveProblem{"cannot move it: no longer a regular file"};
  }
  // An unnamed file can only be linked by its name under /proc.
  const FileDescriptor unnamed(::access("/proc/self/fd", X_OK) == 0
                                   ? ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600)
                                   : -1);
  if (unnamed.valid()) {
    if (!CopyWhole(source.get(), info, unnamed.get())) {
      return MoveProblem{Reason("cannot copy it", errno)};
    }
    const std::string self = "/proc/self/fd/" + std::to_string(unnamed.get());
    return PlaceUnderFreeName(name, [&](const std::string& candidate) {
      return ::linkat(AT_FDCWD, self.c_str(), folder, candidate.c_str(), AT_SYMLINK_FOLLOW);
    });
  }
  const std::string copyName = std::string(kCopyName) + "-" + std::to_string(::getpid());
  ::unlinkat(folder, copyName.c_str(), 0);
  const RemovedOnTermination removedIfStopped(folder, copyName, "");
  const FileDescriptor copy(::openat(folder, copyName.c_str(),
                                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!copy.valid()) {
    return MoveProblem{Reason("cannot copy it", errno)};
  }
  if (!CopyWhole(source.get(), info, copy.get())) {
    const int error = errno;
    ::unlinkat(folder, copyName.c_str(), 0);
    return MoveProblem{Reason("cannot copy it", error)};
  }
  auto placed = PlaceUnderFreeName(name, [&](const std::string& candidate) {
    return ::linkat(folder, copyName.c_str(), folder, candidate.c_str(), 0);
  });
  ::unlinkat(folder, copyName.c_str(), 0);
  return placed;
}

}  // namespace

std::string NumberedName(const std::string& name, unsigned number) {
  if (number == 0) {
    return name;
  }
  const std::size_t ending = EndingStart(name);
  return name.substr(0, ending) + "-" + std::to_string(number) + name.substr(ending);
}

std::variant<std::string, MoveProblem> MoveIntoFolder(int from, const std::string& name,
                                                      const std::string& folder) {
  const FileDescriptor target(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!target.valid()) {
    return MoveProblem{Reason("cannot open " + folder, errno)};
  }
  auto moved = PlaceUnderFreeName(name, [&](const std::string& candidate) {
    return ::renameat2(from, name.c_str(), target.get(), candidate.c_str(), RENAME_NOREPLACE);
  });
  if (const auto* problem = std::get_if<MoveProblem>(&moved); problem && problem->error == EXDEV) {
    moved = CopyIntoFolder(from, target.get(), name);
    if (std::holds_alternative<std::string>(moved)) {
      // The copy stands flushed under its name before the original goes.
      ::fsync(target.get());
      if (::unlinkat(from, name.c_str(), 0) != 0) {
        return MoveProblem{Reason("copied, but the original cannot be removed", errno)};
      }
    }
  }
  if (const auto* placed = std::get_if<std::string>(&moved)) {
    ::fsync(target.get());
    return (std::filesystem::path(folder) / *placed).string();
  }
  return moved;
}

std::optional<MoveProblem> WriteNote(const std::string& path, const std::string& reason) {
  const FileDescriptor note(
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
  const std::string text = reason + "\n";
  if (!note.valid() ||
      ::write(note.get(), text.data(), text.size()) != static_cast<ssize_t>(text.size()) ||
      ::fsync(note.get()) != 0) {
    return MoveProblem{Reason("cannot write " + path, errno)};
  }
  return std::nullopt;
}

}  // namespace rowvane::cli
