#include "filelist/WindowsFileSystem.h"

#include <windows.h>

#include <functional>
#include <string_view>

#include "filelist/NameOrder.h"
#include "filelist/WildcardMatch.h"
#include "text/Utf16.h"

namespace rowvane {
namespace {

constexpr Attributes kKnownBits = attribute::kReadOnly | attribute::kHidden | attribute::kSystem |
                                  attribute::kDirectory | attribute::kArchive |
                                  attribute::kReparsePoint;
// Beyond this many characters a path is taken in its "\\?\" form.
constexpr std::size_t kLongPathFrom = 240;

bool IsSeparator(wchar_t c) {
  return c == L'/' || c == L'\\';
}

std::wstring FullPath(const std::wstring& path) {
  const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  std::wstring full(needed, L'\0');
  const DWORD length =
      needed == 0 ? 0 : ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) {
    return path;
  }
  full.resize(length);
  return full;
}

std::optional<std::wstring> Wide(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) {
    return std::nullopt;
  }
  const std::optional<std::u16string> utf16 = Utf16FromUtf8(path);
  if (!utf16) {
    return std::nullopt;
  }
  std::wstring wide(utf16->begin(), utf16->end());
  for (wchar_t& c : wide) {
    c = c == L'/' ? L'\\' : c;
  }
  if (wide.size() < kLongPathFrom || wide.starts_with(L"\\\\?\\")) {
    return wide;
  }
  const std::wstring full = FullPath(wide);
  return full.starts_with(L"\\\\") ? L"\\\\?\\UNC\\" + full.substr(2) : L"\\\\?\\" + full;
}

std::string Narrow(const wchar_t* name) {
  return Utf8FromUtf16(std::u16string(name, name + std::wcslen(name)));
}

std::string JoinPath(const std::string& folder, std::string_view name) {
  std::string path = folder;
  if (!path.empty() && !IsSeparator(static_cast<wchar_t>(path.back()))) {
    path += '/';
  }
  path += name;
  return path;
}

bool IsDotOrDotDot(std::string_view name) {
  return name == "." || name == "..";
}

// Calls `each` with every entry of `folder`; false when it cannot be listed,
// with the error in `error`.
bool ForEachEntry(const std::string& folder,
                  const std::function<void(const WIN32_FIND_DATAW&)>& each, DWORD& error) {
  const std::optional<std::wstring> pattern = Wide(JoinPath(folder, "*"));
  if (!pattern) {
    error = ERROR_INVALID_NAME;
    return false;
  }
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileExW(pattern->c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) {
    error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND;  // an empty folder (a drive's root has no "." entry)
  }
  do {
    each(found);
  } while (::FindNextFileW(search, &found));
  error = ::GetLastError();
  ::FindClose(search);
  return error == ERROR_NO_MORE_FILES;
}

std::optional<BY_HANDLE_FILE_INFORMATION> InformationOf(const std::string& path) {
  const std::optional<std::wstring> wide = Wide(path);
  if (!wide) {
    return std::nullopt;
  }
  HANDLE handle =
      ::CreateFileW(wide->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool read = ::GetFileInformationByHandle(handle, &info);
  ::CloseHandle(handle);
  return read ? std::optional(info) : std::nullopt;
}

}  // namespace

std::optional<Attributes> WindowsFileSystem::attributesOf(const std::string& path) const {
  const std::optional<std::wstring> wide = Wide(path);
  if (!wide) {
    return std::nullopt;
  }
  const DWORD value = ::GetFileAttributesW(wide->c_str());
  if (value == INVALID_FILE_ATTRIBUTES) {
    return std::nullopt;
  }
  const bool asksForFolder = IsSeparator(wide->back());
  if (asksForFolder && (value & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return std::nullopt;
  }
  return static_cast<Attributes>(value) & kKnownBits;
}

std::vector<std::string> WindowsFileSystem::search(const std::string& folder,
                                                   const std::string& pattern,
                                                   Attributes mask) const {
  std::vector<std::string> names;
  DWORD error = 0;
  ForEachEntry(
      folder,
      [&](const WIN32_FIND_DATAW& entry) {
        const std::string name = Narrow(entry.cFileName);
        const auto value = static_cast<Attributes>(entry.dwFileAttributes) & kKnownBits;
        if (!IsDotOrDotDot(name) && MatchesWildcard(pattern, name) &&
            PassesSearchMask(value, mask)) {
          names.push_back(name);
        }
      },
      error);
  SortInPlatformOrder(names);
  return names;
}

SubFolderListing WindowsFileSystem::subFoldersOf(const std::string& folder) const {
  SubFolderListing listing;
  DWORD error = 0;
  const bool listed = ForEachEntry(
      folder,
      [&](const WIN32_FIND_DATAW& entry) {
        const std::string name = Narrow(entry.cFileName);
        if (!IsDotOrDotDot(name) && (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
          listing.names.push_back(name);
        }
      },
      error);
  if (!listed) {
    listing.error =
        error == ERROR_ACCESS_DENIED ? ListingError::PermissionDenied : ListingError::Other;
  }
  SortInPlatformOrder(listing.names);
  return listing;
}

bool WindowsFileSystem::canOpen(const std::string& path) const {
  const std::optional<BY_HANDLE_FILE_INFORMATION> info = InformationOf(path);
  return info && (info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::optional<FolderIdentity> WindowsFileSystem::identityOf(const std::string& path) const {
  const std::optional<BY_HANDLE_FILE_INFORMATION> info = InformationOf(path);
  if (!info || (info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return std::nullopt;
  }
  return FolderIdentity{info->dwVolumeSerialNumber,
                        (std::uint64_t{info->nFileIndexHigh} << 32) | info->nFileIndexLow};
}

bool WindowsFileSystem::isRootFolder(const std::string& path) const {
  const std::optional<std::wstring> wide = Wide(path);
  if (!wide) {
    return false;
  }
  std::wstring volume(MAX_PATH + 1, L'\0');
  if (!::GetVolumePathNameW(wide->c_str(), volume.data(), static_cast<DWORD>(volume.size()))) {
    return false;
  }
  volume.resize(std::wcslen(volume.c_str()));
  const auto folder = identityOf(path);
  const auto root = identityOf(Narrow(volume.c_str()));
  return folder && root && *folder == *root;
}

}  // namespace rowvane
