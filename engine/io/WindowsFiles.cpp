#include "engine/io/WindowsFiles.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "engine/io/SystemError.h"
#include "text/Utf16.h"

namespace rowvane {
namespace {

// Beyond this many characters a path is taken in its "\\?\" form: the plain
// form stops at 260 with the file name, 248 for a folder to create.
constexpr std::size_t kLongPathFrom = 240;

std::wstring WideOf(const std::u16string& text) {
  return {text.begin(), text.end()};
}

std::wstring FullPath(const std::wstring& path) {
  const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) {
    return path;
  }
  std::wstring full(needed, L'\0');
  const DWORD length = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) {
    return path;
  }
  full.resize(length);
  return full;
}

std::wstring LongForm(const std::wstring& path) {
  if (path.starts_with(L"\\\\?\\")) {
    return path;
  }
  const std::wstring full = FullPath(path);
  if (full.starts_with(L"\\\\")) {
    return L"\\\\?\\UNC\\" + full.substr(2);
  }
  return L"\\\\?\\" + full;
}

std::int64_t Ticks(FILETIME time) {
  return static_cast<std::int64_t>((std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
}

}  // namespace

std::optional<std::wstring> WidePath(const std::string& path) {
  if (path.find('\0') != std::string::npos) {
    return std::nullopt;
  }
  const std::optional<std::u16string> utf16 = Utf16FromUtf8(path);
  if (!utf16) {
    return std::nullopt;
  }
  std::wstring wide = WideOf(*utf16);
  for (wchar_t& c : wide) {
    if (c == L'/') {
      c = L'\\';
    }
  }
  return wide.size() >= kLongPathFrom ? LongForm(wide) : wide;
}

std::string NarrowName(const std::wstring& name) {
  return Utf8FromUtf16(std::u16string(name.begin(), name.end()));
}

int ErrnoOfWindowsError(unsigned long error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD:
      return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
      return EBUSY;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_DIR_NOT_EMPTY:
      return ENOTEMPTY;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
      return EPIPE;
    default:
      return EINVAL;
  }
}

std::string WindowsErrorMessage(unsigned long error) {
  if (ErrnoOfWindowsError(error) == EBUSY) {
    return kInUseByAnotherProgram;
  }
  return SystemMessage(ErrnoOfWindowsError(error));
}

void ThrowWindowsError(FailureKind kind, unsigned long error) {
  throw ConversionError(kind, WindowsErrorMessage(error), ErrnoOfWindowsError(error));
}

void ThrowLastWindowsError(FailureKind kind) {
  ThrowWindowsError(kind, ::GetLastError());
}

void* HandleOfDescriptor(int fd) {
  return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

FileDescriptor DescriptorOwning(void* handle, int flags) {
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
  if (fd < 0) {
    ::CloseHandle(handle);
  }
  return FileDescriptor(fd);
}

std::string PathOfOpenFolder(int fd) {
  // Room for the longest path there is: not every Windows (nor Wine) gives
  // the size needed when the room is short.
  constexpr DWORD kLongestPath = 32768;
  std::wstring path(kLongestPath, L'\0');
  const DWORD length =
      ::GetFinalPathNameByHandleW(HandleOfDescriptor(fd), path.data(), kLongestPath, 0);
  if (length == 0 || length >= kLongestPath) {
    return {};
  }
  path.resize(length);
  return NarrowName(path);
}

std::optional<WindowsFileIdentity> IdentityOfHandle(void* handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info)) {
    return std::nullopt;
  }
  return WindowsFileIdentity{
      info.dwVolumeSerialNumber,
      (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow,
      (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow,
      Ticks(info.ftLastWriteTime),
      info.dwFileAttributes,
  };
}

std::optional<WindowsFileIdentity> IdentityOfPath(const std::string& path) {
  const std::optional<std::wstring> wide = WidePath(path);
  if (!wide) {
    return std::nullopt;
  }
  // Opened for no access at all, a file another program holds unshared can
  // still be looked at; folders need the backup flag to be opened.
  HANDLE handle =
      ::CreateFileW(wide->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  std::optional<WindowsFileIdentity> identity = IdentityOfHandle(handle);
  ::CloseHandle(handle);
  return identity;
}

}  // namespace rowvane
