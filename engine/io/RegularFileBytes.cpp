#include "engine/io/RegularFileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/io/FileDescriptor.h"
#include "engine/io/SystemError.h"

namespace rowvane {
namespace {

RegularFileBytes Problem(std::string problem, int error = 0) {
  return {{}, std::move(problem), error};
}

RegularFileBytes SystemProblem(int error) {
  return Problem(SystemMessage(error), error);
}

}  // namespace

std::string LargerThan(std::uint64_t maxBytes) {
  constexpr std::uint64_t kMiB = 1 << 20;
  if (maxBytes % kMiB == 0) {
    return "larger than " + std::to_string(maxBytes / kMiB) + " MiB";
  }
  return "larger than " + std::to_string(maxBytes) + " bytes";
}

RegularFileBytes ReadRegularFile(const std::string& path, std::uint64_t maxBytes) {
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!file.valid()) {
    RegularFileBytes notOpened = SystemProblem(errno);
    notOpened.notOpened = true;
    return notOpened;
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) {
    return SystemProblem(errno);
  }
  if (S_ISDIR(info.st_mode)) {
    return SystemProblem(EISDIR);
  }
  if (!S_ISREG(info.st_mode)) {
    return Problem("not a regular file");
  }
  if (static_cast<std::uint64_t>(info.st_size) > maxBytes) {
    RegularFileBytes tooLarge = Problem(LargerThan(maxBytes));
    tooLarge.tooLarge = true;
    return tooLarge;
  }
  RegularFileBytes read;
  read.bytes.resize(static_cast<std::size_t>(info.st_size));
  std::size_t have = 0;
  // A file that grows while it is read is taken at its size when opened.
  while (have < read.bytes.size()) {
    const ssize_t got = ::read(file.get(), read.bytes.data() + have, read.bytes.size() - have);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      return SystemProblem(errno);
    }
    if (got == 0) {
      break;
    }
    have += static_cast<std::size_t>(got);
  }
  read.bytes.resize(have);
  return read;
}

}  // namespace rowvane
