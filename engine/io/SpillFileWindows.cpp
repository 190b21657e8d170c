#include <fcntl.h>
#include <windows.h>

#include <string>

#include "engine/io/SpillFile.h"
#include "engine/io/SystemError.h"
#include "engine/io/WindowsFiles.h"

namespace rowvane {
namespace {

constexpr DWORD kMostAtOnce = DWORD{1} << 30;
constexpr int kNameAttempts = 100;

std::string TemporaryFolder(const std::string& folder) {
  if (!folder.empty()) {
    return folder;
  }
  std::wstring temporary(MAX_PATH + 1, L'\0');
  const DWORD length = ::GetTempPathW(static_cast<DWORD>(temporary.size()), temporary.data());
  if (length == 0 || length > temporary.size()) {
    return ".";
  }
  temporary.resize(length);
  return NarrowName(temporary);
}

// Windows has no unnamed files: a named one that nobody else may open and
// that goes when its handle closes, however the process ends.
int OpenUnnamed(const std::string& folder) {
  const std::string prefix = folder +
                             (folder.ends_with('\\') || folder.ends_with('/') ? "" : "\\") +
                             "rowvane-spill-" + std::to_string(::GetCurrentProcessId()) + "-";
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::optional<std::wstring> wide =
        WidePath(prefix + std::to_string(::GetTickCount64()) + "-" + std::to_string(attempt));
    if (!wide) {
      ::SetLastError(ERROR_INVALID_NAME);
      return -1;
    }
    HANDLE handle =
        ::CreateFileW(wide->c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      return DescriptorOwning(handle, _O_RDWR).release();
    }
    if (::GetLastError() != ERROR_FILE_EXISTS) {
      return -1;
    }
  }
  return -1;
}

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED place{};
  place.Offset = static_cast<DWORD>(offset);
  place.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return place;
}

}  // namespace

SpillFile::SpillFile(const std::string& folder)
    : m_folder(TemporaryFolder(folder)), m_fd(OpenUnnamed(m_folder)) {
  if (!m_fd.valid()) {
    fail("cannot create");
  }
}

void SpillFile::fail(const char* what) const {
  const DWORD error = ::GetLastError();
  throw ConversionError(
      FailureKind::Write,
      "temporary file in " + m_folder + ": " + what + ": " + WindowsErrorMessage(error),
      ErrnoOfWindowsError(error));
}

void SpillFile::append(const char* data, std::size_t size) {
  while (size > 0) {
    OVERLAPPED place = At(m_size);
    DWORD count = 0;
    const DWORD asked = size < kMostAtOnce ? static_cast<DWORD>(size) : kMostAtOnce;
    if (!::WriteFile(HandleOfDescriptor(m_fd.get()), data, asked, &count, &place)) {
      fail("cannot write");
    }
    data += count;
    size -= count;
    m_size += count;
  }
}

std::size_t SpillFile::readAt(std::uint64_t offset, char* buffer, std::size_t capacity) const {
  std::size_t done = 0;
  while (done < capacity && offset + done < m_size) {
    OVERLAPPED place = At(offset + done);
    DWORD count = 0;
    const std::size_t left = capacity - done;
    const DWORD asked = left < kMostAtOnce ? static_cast<DWORD>(left) : kMostAtOnce;
    if (!::ReadFile(HandleOfDescriptor(m_fd.get()), buffer + done, asked, &count, &place)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) {
        break;
      }
      fail("cannot read");
    }
    if (count == 0) {
      break;
    }
    done += count;
  }
  return done;
}

}  // namespace rowvane
