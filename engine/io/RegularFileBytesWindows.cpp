#include <fcntl.h>
#include <windows.h>

#include <cerrno>

#include "engine/io/RegularFileBytes.h"
#include "engine/io/SystemError.h"
#include "engine/io/WindowsFiles.h"

namespace rowvane {
namespace {

RegularFileBytes Problem(std::string problem, int error = 0) {
  return {{}, std::move(problem), error};
}

RegularFileBytes WindowsProblem(DWORD error) {
  return Problem(WindowsErrorMessage(error), ErrnoOfWindowsError(error));
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
  const std::optional<std::wstring> wide = WidePath(path);
  HANDLE handle = wide ? ::CreateFileW(wide->c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)
                       : INVALID_HANDLE_VALUE;
  if (handle == INVALID_HANDLE_VALUE) {
    RegularFileBytes notOpened =
        wide ? WindowsProblem(::GetLastError()) : Problem(SystemMessage(ENOENT), ENOENT);
    notOpened.notOpened = true;
    return notOpened;
  }
  const FileDescriptor file = DescriptorOwning(handle, _O_RDONLY);
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    return Problem("not a regular file");
  }
  const std::optional<WindowsFileIdentity> identity = IdentityOfHandle(handle);
  if (!identity) {
    return WindowsProblem(::GetLastError());
  }
  if ((identity->attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return Problem(SystemMessage(EISDIR), EISDIR);
  }
  if (identity->size > maxBytes) {
    RegularFileBytes tooLarge = Problem(LargerThan(maxBytes));
    tooLarge.tooLarge = true;
    return tooLarge;
  }
  RegularFileBytes read;
  read.bytes.resize(static_cast<std::size_t>(identity->size));
  std::size_t have = 0;
  // A file that grows while it is read is taken at its size when opened.
  while (have < read.bytes.size()) {
    DWORD got = 0;
    if (!::ReadFile(handle, read.bytes.data() + have, static_cast<DWORD>(read.bytes.size() - have),
                    &got, nullptr)) {
      return WindowsProblem(::GetLastError());
    }
    if (got == 0) {
      break;
    }
    have += got;
  }
  read.bytes.resize(have);
  return read;
}

}  // namespace rowvane
