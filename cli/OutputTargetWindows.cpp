#include <fcntl.h>
#include <windows.h>

#include <cerrno>
#include <utility>

#include "cli/CliOptions.h"
#include "cli/OutputTarget.h"
#include "engine/Files.h"

namespace rowvane::cli {
namespace {

std::optional<FileIdentity> IdentityOfRegular(const std::optional<WindowsFileIdentity>& identity) {
  if (!identity || (identity->attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return std::nullopt;
  }
  return FileIdentity{identity->volume, identity->index};
}

}  // namespace

// A link on Windows is replaced as a file is (making one takes a privilege);
// device names are refused where the output is made (WindowsNameProblem).
OutputTarget ResolveOutputTarget(const std::string& outputFile) {
  if (outputFile == kStandardStream) {
    return {OutputTarget::Kind::Descriptor, {}, 1};
  }
  return {OutputTarget::Kind::Replaced, outputFile};
}

rowvane::FileDescriptor OpenInPlace(const std::string& path) {
  const std::optional<std::wstring> wide = WidePath(path);
  if (!wide) {
    ThrowSystemError(FailureKind::Write, EINVAL);
  }
  HANDLE handle = ::CreateFileW(wide->c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    ThrowLastWindowsError(FailureKind::Write);
  }
  rowvane::FileDescriptor fd = DescriptorOwning(handle, _O_WRONLY);
  if (!fd.valid()) {
    ThrowSystemError(FailureKind::Write, EMFILE);
  }
  return fd;
}

std::optional<FileIdentity> RegularFileAt(const std::string& path) {
  return IdentityOfRegular(IdentityOfPath(path));
}

std::optional<FileIdentity> RegularFileOn(int fd) {
  void* handle = HandleOfDescriptor(fd);
  if (handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) != FILE_TYPE_DISK) {
    return std::nullopt;
  }
  return IdentityOfRegular(IdentityOfHandle(handle));
}

}  // namespace rowvane::cli
