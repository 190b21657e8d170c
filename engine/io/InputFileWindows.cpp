#include <fcntl.h>
#include <windows.h>

#include <cerrno>

#include "engine/core/Failure.h"
#include "engine/io/InputFile.h"
#include "engine/io/SystemError.h"
#include "engine/io/WindowsFiles.h"

namespace rowvane {
namespace {

constexpr const char* kNotRegular = "Not a regular file";
constexpr std::int64_t kTicksPerSecond = 10'000'000;

bool IsMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME || error == ERROR_INVALID_DRIVE;
}

[[noreturn]] void ThrowChanged() {
  throw ConversionError(FailureKind::Read, kInputChangedWhileRead);
}

// Others may go on reading, writing, renaming or removing the file while it
// is read, as on Linux; a change shows in its size or time at the end.
HANDLE OpenForReading(const std::wstring& path) {
  return ::CreateFileW(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

timespec TimeOf(std::int64_t ticks) {
  timespec time{};
  time.tv_sec = static_cast<decltype(time.tv_sec)>(ticks / kTicksPerSecond);
  time.tv_nsec = static_cast<decltype(time.tv_nsec)>((ticks % kTicksPerSecond) * 100);
  return time;
}

std::int64_t TicksOf(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * kTicksPerSecond + time.tv_nsec / 100;
}

}  // namespace

InputFile::InputFile(const std::string& path) {
  const std::optional<std::wstring> wide = WidePath(path);
  if (path.empty() || !wide) {
    throw InputMissing(path);
  }
  HANDLE handle = OpenForReading(*wide);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (IsMissing(error)) {
      throw InputMissing(path);
    }
    ThrowWindowsError(FailureKind::Read, error);
  }
  FileDescriptor owned = DescriptorOwning(handle, _O_RDONLY);
  if (!owned.valid()) {
    ThrowSystemError(FailureKind::Read, EMFILE);
  }
  m_fd = owned.release();
  struct stat unused {};
  takeOpened(unused);
}

InputFile::InputFile(const std::string& path, const InputPlace& place)
    : InputFile(PathOfOpenFolder(place.folder) + "\\" + place.name) {
  // Windows opens no name relative to a folder handle: the folder's present
  // path stands in, and the identity check below catches a swap.
  const FileVersion found{m_device, m_inode, m_size, TicksOf(m_modified) * 100};
  if (found != place.expected) {
    ::_close(m_fd);
    m_fd = -1;
    throw InputMissing(path);
  }
}

void InputFile::takeOpened(struct stat& /*unused*/) {
  // A device name (CON, NUL, COM1) opens a device, which is no file to read.
  const bool onDisk = ::GetFileType(HandleOfDescriptor(m_fd)) == FILE_TYPE_DISK;
  const std::optional<WindowsFileIdentity> identity =
      onDisk ? IdentityOfHandle(HandleOfDescriptor(m_fd)) : std::nullopt;
  const DWORD error = ::GetLastError();
  const bool isFolder = identity && (identity->attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (!identity || isFolder) {
    ::_close(m_fd);
    m_fd = -1;
    if (!onDisk) {
      throw ConversionError(FailureKind::Read, kNotRegular);
    }
    if (!identity) {
      ThrowWindowsError(FailureKind::Read, error);
    }
    ThrowSystemError(FailureKind::Read, EISDIR);
  }
  m_size = identity->size;
  m_device = identity->volume;
  m_inode = identity->index;
  m_modified = TimeOf(identity->modified);
}

InputFile::~InputFile() {
  if (m_fd >= 0) {
    ::_close(m_fd);
  }
}

std::size_t InputFile::read(char* buffer, std::size_t capacity) {
  constexpr std::size_t kMostAtOnce = std::size_t{1} << 30;
  DWORD count = 0;
  const auto asked = static_cast<DWORD>(capacity < kMostAtOnce ? capacity : kMostAtOnce);
  if (!::ReadFile(HandleOfDescriptor(m_fd), buffer, asked, &count, nullptr)) {
    ThrowLastWindowsError(FailureKind::Read);
  }
  if (count > 0) {
    m_offset += count;
    if (m_offset > m_size) {
      ThrowChanged();  // grown since it was opened
    }
    return count;
  }
  if (m_offset != m_size && capacity > 0) {
    ThrowChanged();  // cut short since it was opened
  }
  return 0;
}

void InputFile::rewind() {
  LARGE_INTEGER start{};
  if (!::SetFilePointerEx(HandleOfDescriptor(m_fd), start, nullptr, FILE_BEGIN)) {
    ThrowLastWindowsError(FailureKind::Read);
  }
  m_offset = 0;
}

void InputFile::throwIfChangedSinceOpened() const {
  const std::optional<WindowsFileIdentity> now = IdentityOfHandle(HandleOfDescriptor(m_fd));
  if (!now) {
    ThrowLastWindowsError(FailureKind::Read);
  }
  if (now->size != m_size || now->modified != TicksOf(m_modified)) {
    ThrowChanged();
  }
}

}  // namespace rowvane
