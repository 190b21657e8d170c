#include <windows.h>

#include <optional>

#include "cli/PathStatus.h"
#include "engine/Files.h"

namespace rowvane::cli {
namespace {

std::optional<WIN32_FILE_ATTRIBUTE_DATA> StatusOf(const std::string& path) {
  const std::optional<std::wstring> wide = WidePath(path);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!wide || !::GetFileAttributesExW(wide->c_str(), GetFileExInfoStandard, &data)) {
    return std::nullopt;
  }
  return data;
}

std::uint64_t Ticks(FILETIME time) {
  return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

}  // namespace

bool IsPresent(const std::string& path) {
  return StatusOf(path).has_value();
}

bool PathIsTaken(const std::string& path) {
  // The attributes of a link are its own: a link to nothing is found too.
  return StatusOf(path).has_value();
}

bool NothingToEmpty(const std::string& path) {
  if (IsPresent(path)) {
    return false;
  }
  const std::string folder = FolderOf(path);
  return !IsPresent(folder);
}

bool IsUpToDate(const std::string& input, const std::string& output) {
  const auto in = StatusOf(input);
  const auto out = StatusOf(output);
  return in && out && (out->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         Ticks(out->ftLastWriteTime) >= Ticks(in->ftLastWriteTime);
}

int MakeOneFolder(const std::string& path) {
  const std::optional<std::wstring> wide = WidePath(path);
  if (!wide) {
    return EINVAL;
  }
  return ::CreateDirectoryW(wide->c_str(), nullptr) ? 0 : ErrnoOfWindowsError(::GetLastError());
}

void RemoveFile(const std::string& path) {
  if (const auto wide = WidePath(path)) {
    ::DeleteFileW(wide->c_str());
  }
}

}  // namespace rowvane::cli
