#include <fcntl.h>
#include <windows.h>

#include <cerrno>
#include <string>
#include <vector>

#include "cli/UnnamedTemporaryFile.h"
#include "engine/Conversion.h"

namespace rowvane::cli {
namespace {

constexpr std::size_t kCopyChunk = std::size_t{1} << 18;
constexpr DWORD kMostAtOnce = DWORD{1} << 30;
constexpr int kNameAttempts = 100;

std::string TemporaryFolder() {
  std::wstring folder(MAX_PATH + 1, L'\0');
  const DWORD length = ::GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
  if (length == 0 || length > folder.size()) {
    return ".";
  }
  folder.resize(length);
  return NarrowName(folder);
}

// Windows has no unnamed files: a named one that goes when its last handle
// closes, however the process ends, and that nobody else may open.
HANDLE OpenUnnamed(const std::string& folder) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string name = folder + "rowvane-spool-" + std::to_string(::GetCurrentProcessId()) +
                             "-" + std::to_string(::GetTickCount64()) + "-" +
                             std::to_string(attempt) + ".tmp";
    const std::optional<std::wstring> wide = WidePath(name);
    if (!wide) {
      ::SetLastError(ERROR_INVALID_NAME);
      return INVALID_HANDLE_VALUE;
    }
    HANDLE handle =
        ::CreateFileW(wide->c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) {
      return handle;
    }
  }
  return INVALID_HANDLE_VALUE;
}

// A descriptor owning the file; -1, with the error kept, when there is none.
int OpenUnnamedDescriptor(const std::string& folder) {
  HANDLE handle = OpenUnnamed(folder);
  return handle == INVALID_HANDLE_VALUE ? -1 : DescriptorOwning(handle, _O_RDWR).release();
}

void* Handle(const FileDescriptor& fd) {
  return HandleOfDescriptor(fd.get());
}

}  // namespace

UnnamedTemporaryFile::UnnamedTemporaryFile()
    : m_folder(TemporaryFolder()), m_fd(OpenUnnamedDescriptor(m_folder)) {
  if (m_fd.get() < 0) {
    fail(FailureKind::Write, "cannot create");
  }
}

// The folder is named: with TEMP set elsewhere, the user could not tell.
void UnnamedTemporaryFile::fail(FailureKind kind, const char* what) const {
  const DWORD error = ::GetLastError();  // before anything here can change it
  throw ConversionError(
      kind, "temporary file in " + m_folder + ": " + what + ": " + WindowsErrorMessage(error),
      ErrnoOfWindowsError(error));
}

void UnnamedTemporaryFile::write(const char* data, std::size_t size) {
  while (size > 0) {
    DWORD count = 0;
    const DWORD asked = size < kMostAtOnce ? static_cast<DWORD>(size) : kMostAtOnce;
    if (!::WriteFile(Handle(m_fd), data, asked, &count, nullptr)) {
      fail(FailureKind::Write, "cannot write");
    }
    data += count;
    size -= count;
    m_size += count;
  }
}

void UnnamedTemporaryFile::discard() {
  LARGE_INTEGER start{};
  if (!::SetFilePointerEx(Handle(m_fd), start, nullptr, FILE_BEGIN) ||
      !::SetEndOfFile(Handle(m_fd))) {
    fail(FailureKind::Write, "cannot empty");
  }
  m_size = 0;
}

std::size_t UnnamedTemporaryFile::read(char* buffer, std::size_t capacity) {
  DWORD count = 0;
  const DWORD asked = capacity < kMostAtOnce ? static_cast<DWORD>(capacity) : kMostAtOnce;
  if (!::ReadFile(Handle(m_fd), buffer, asked, &count, nullptr)) {
    fail(FailureKind::Read, "cannot read");
  }
  return count;
}

void UnnamedTemporaryFile::rewind() {
  LARGE_INTEGER start{};
  if (!::SetFilePointerEx(Handle(m_fd), start, nullptr, FILE_BEGIN)) {
    fail(FailureKind::Read, "cannot rewind");
  }
}

void UnnamedTemporaryFile::fillFrom(int fd) {
  DescriptorSource source(fd);
  std::vector<char> buffer(kCopyChunk);
  for (std::size_t count = source.read(buffer.data(), buffer.size()); count > 0;
       count = source.read(buffer.data(), buffer.size())) {
    write(buffer.data(), count);
  }
}

void UnnamedTemporaryFile::copyTo(OutputSink& sink) {
  rewind();
  std::vector<char> buffer(kCopyChunk);
  for (std::size_t count = read(buffer.data(), buffer.size()); count > 0;
       count = read(buffer.data(), buffer.size())) {
    sink.write(buffer.data(), count);
  }
}

}  // namespace rowvane::cli
