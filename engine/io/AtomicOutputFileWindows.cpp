#include <fcntl.h>
#include <windows.h>

#include <cerrno>
#include <random>
#include <set>
#include <string_view>
#include <utility>

#include "engine/core/Failure.h"
#include "engine/io/AtomicOutputFile.h"
#include "engine/io/OutputNaming.h"
#include "engine/io/SystemError.h"
#include "engine/io/WindowsFiles.h"
#include "engine/io/WindowsNames.h"

namespace rowvane {
namespace {

// The same names as on Linux, so a clean-up knows them on either system.
// The temporary file is opened sharing nothing but deletion: nobody else may
// read, write or clean it up while this run holds it, and yet it can be
// renamed over the target (or removed by the Ctrl+C handler) while it is open.
constexpr std::string_view kTemporaryPrefix = ".rowvane-";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::string_view kTagDigits = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr std::size_t kTagLength = 12;
constexpr int kNameAttempts = 100;
constexpr DWORD kMostWrittenAtOnce = DWORD{1} << 30;

std::string RandomTag() {
  std::random_device device;
  std::uniform_int_distribution<std::size_t> pick(0, kTagDigits.size() - 1);
  std::string tag(kTagLength, '0');
  for (char& c : tag) {
    c = kTagDigits[pick(device)];
  }
  return tag;
}

bool IsGeneratedTemporaryName(std::string_view name) {
  if (name.size() != kTemporaryPrefix.size() + kTagLength + kTemporarySuffix.size() ||
      !name.starts_with(kTemporaryPrefix) || !name.ends_with(kTemporarySuffix)) {
    return false;
  }
  const std::string_view tag = name.substr(kTemporaryPrefix.size(), kTagLength);
  return tag.find_first_not_of(kTagDigits) == std::string_view::npos;
}

std::string InFolder(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/' || folder.back() == '\\') {
    return folder + name;
  }
  return folder + "\\" + name;
}

std::wstring WideOrThrow(const std::string& path) {
  std::optional<std::wstring> wide = WidePath(path);
  if (!wide) {
    ThrowSystemError(FailureKind::Write, EINVAL);
  }
  return std::move(*wide);
}

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

// A file is often held for a moment by others (a virus scanner, an indexer,
// another conversion replacing the same output): a call refused for sharing
// is tried again for up to half a second before the refusal counts.
constexpr int kSharingAttempts = 20;
constexpr DWORD kSharingPauseMs = 25;

bool IsSharingRefusal(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_ACCESS_DENIED;
}

template <typename Call>
bool TriedWhileShared(Call call) {
  for (int attempt = 1;; ++attempt) {
    if (call()) {
      return true;
    }
    if (attempt == kSharingAttempts || !IsSharingRefusal(::GetLastError())) {
      return false;
    }
    ::Sleep(kSharingPauseMs);
  }
}

/// Refuses a target that is a folder, read-only, held by another program
/// without sharing, or the file `neverReplace` names.
void CheckExistingTarget(
    const std::string& target,
    const std::optional<std::pair<std::uint64_t, std::uint64_t>>& neverReplace) {
  const std::wstring wide = WideOrThrow(target);
  // Asking for the right to delete is what a replacing rename needs: a
  // program holding the file unshared refuses it now, before any work.
  HANDLE handle = INVALID_HANDLE_VALUE;
  TriedWhileShared([&] {
    handle = ::CreateFileW(wide.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    return handle != INVALID_HANDLE_VALUE;
  });
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) {
      return;
    }
    ThrowWindowsError(FailureKind::Write, error);
  }
  const std::optional<WindowsFileIdentity> identity = IdentityOfHandle(handle);
  ::CloseHandle(handle);
  if (!identity) {
    ThrowLastWindowsError(FailureKind::Write);
  }
  if (neverReplace && identity->volume == neverReplace->first &&
      identity->index == neverReplace->second) {
    throw ConversionError(FailureKind::Write, kOutputWouldReplaceInput);
  }
  if ((identity->attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    ThrowSystemError(FailureKind::Write, EISDIR);
  }
  if ((identity->attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    ThrowSystemError(FailureKind::Write, EACCES);
  }
}

// Where the opened folder is now: the output lands there even when its path
// has been given to another folder since, as on Linux. Where Windows cannot
// tell (Wine, for paths beyond 260 characters), the path it was opened by.
std::string FolderNow(const FolderHandle& folder) {
  std::string path = PathOfOpenFolder(folder.fd());
  return path.empty() ? folder.path() : path;
}

}  // namespace

void SyncFolder(const std::string& /*folder*/) {
  // Folders are not flushed on Windows (FolderHandle::sync).
}

std::size_t RemoveAbandonedTemporaryFiles(const std::string& folder,
                                          const std::vector<std::string>& inputs) {
  const std::optional<std::wstring> pattern = WidePath(InFolder(folder, ".rowvane-*.tmp"));
  if (!pattern) {
    return 0;
  }
  std::set<std::pair<std::uint64_t, std::uint64_t>> inputIdentities;
  for (const std::string& input : inputs) {
    if (const auto identity = IdentityOfPath(input)) {
      inputIdentities.emplace(identity->volume, identity->index);
    }
  }
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW(pattern->c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    return 0;
  }
  std::size_t removed = 0;
  do {
    const std::string name = NarrowName(found.cFileName);
    if (!IsGeneratedTemporaryName(name) || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      continue;
    }
    const std::optional<std::wstring> path = WidePath(InFolder(folder, name));
    // Opened sharing nothing: a live run holds its file, so it is refused.
    HANDLE file = path ? ::CreateFileW(path->c_str(), DELETE | FILE_READ_ATTRIBUTES, 0, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr)
                       : INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) {
      continue;
    }
    const std::optional<WindowsFileIdentity> identity = IdentityOfHandle(file);
    if (identity && !inputIdentities.contains({identity->volume, identity->index})) {
      FILE_DISPOSITION_INFO dispose{TRUE};
      removed +=
          ::SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof dispose) ? 1 : 0;
    }
    ::CloseHandle(file);
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return removed;
}

std::string FolderOf(const std::string& path) {
  std::size_t separator = path.size();
  while (separator > 0 && !IsSeparator(path[separator - 1])) {
    --separator;
  }
  if (separator == 0) {
    // "C:name" lies in the drive's current folder.
    return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : ".";
  }
  const std::string folder = path.substr(0, separator - 1);
  if (folder.empty() || (folder.size() == 2 && folder[1] == ':')) {
    return path.substr(0, separator);  // a root keeps its separator
  }
  return folder;
}

AtomicOutputFile::AtomicOutputFile(std::string targetPath, Options options)
    : m_targetPath(std::move(targetPath)),
      m_targetName(FileNameOf(m_targetPath)),
      m_options(std::move(options)) {
  if (m_targetPath.find('\0') != std::string::npos) {
    ThrowSystemError(FailureKind::Write, EINVAL);
  }
  if (const auto problem = WindowsNameProblem(m_targetName)) {
    throw ConversionError(FailureKind::Write, "the output name " + *problem, EINVAL);
  }
  m_folderShared = m_options.folder != nullptr;
  m_folder =
      m_folderShared ? std::move(m_options.folder) : FolderHandle::Open(FolderOf(m_targetPath));
  checkTarget(nullptr);
  createTemporary();
}

void AtomicOutputFile::checkTarget(std::optional<mode_t>* /*keptMode*/) const {
  CheckExistingTarget(InFolder(FolderNow(*m_folder), m_targetName), m_options.neverReplace);
}

AtomicOutputFile::~AtomicOutputFile() {
  removeTemporary();
}

void AtomicOutputFile::createTemporary() {
  createNamed();
}

bool AtomicOutputFile::createUnnamed() {
  return false;  // Windows has no unnamed files
}

void AtomicOutputFile::createNamed() {
  const std::string folder = FolderNow(*m_folder);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string name(kTemporaryPrefix);
    name.append(RandomTag()).append(kTemporarySuffix);
    const std::wstring wide = WideOrThrow(InFolder(folder, name));
    m_removedOnTermination.emplace(m_folder->fd(), name, std::string_view());
    HANDLE handle =
        ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_DELETE,
                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      m_removedOnTermination.reset();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
        continue;
      }
      ThrowWindowsError(FailureKind::Write, error);
    }
    m_file = DescriptorOwning(handle, _O_WRONLY);
    m_temporaryName = name;
    if (!m_file.valid()) {
      removeTemporary();
      ThrowSystemError(FailureKind::Write, EMFILE);
    }
    return;
  }
  ThrowSystemError(FailureKind::Write, EEXIST);
}

void AtomicOutputFile::giveTemporaryAName() {
  // Every temporary file is named from its start here.
}

void AtomicOutputFile::removeTemporary() noexcept {
  if (!m_temporaryName.empty() && m_file.valid()) {
    // Marked through the open handle, so it is this file that goes.
    FILE_DISPOSITION_INFO dispose{TRUE};
    ::SetFileInformationByHandle(HandleOfDescriptor(m_file.get()), FileDispositionInfo, &dispose,
                                 sizeof dispose);
  }
  m_temporaryName.clear();
  m_file.reset();
  m_removedOnTermination.reset();
}

void AtomicOutputFile::write(const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD asked = size < kMostWrittenAtOnce ? static_cast<DWORD>(size) : kMostWrittenAtOnce;
    DWORD count = 0;
    if (!::WriteFile(HandleOfDescriptor(m_file.get()), data, asked, &count, nullptr)) {
      ThrowLastWindowsError(FailureKind::Write);
    }
    if (count == 0) {
      ThrowSystemError(FailureKind::Write, ENOSPC);
    }
    data += count;
    size -= count;
    m_written += count;
  }
}

void AtomicOutputFile::startWritebackWhenDue() {
  // Windows writes back by itself; FlushFileBuffers waits for it at the end.
}

void AtomicOutputFile::discard() {
  HANDLE handle = HandleOfDescriptor(m_file.get());
  LARGE_INTEGER start{};
  if (!::SetFilePointerEx(handle, start, nullptr, FILE_BEGIN) || !::SetEndOfFile(handle)) {
    ThrowLastWindowsError(FailureKind::Write);
  }
  m_written = 0;
  m_writebackFrom = 0;
}

void AtomicOutputFile::commit() {
  if (m_options.syncFile) {
    flushData();
  }
  publish();
}

void AtomicOutputFile::flushData() {
  if (!::FlushFileBuffers(HandleOfDescriptor(m_file.get()))) {
    ThrowLastWindowsError(FailureKind::Write);
  }
}

void AtomicOutputFile::publish() {
  // It may have been made read-only, or opened by another program, meanwhile.
  checkTarget(nullptr);
  if (m_options.beforeRename) {
    m_options.beforeRename();
  }
  if (m_folderShared) {
    m_folder->stillAtItsPath();
  }
  const std::string folder = FolderNow(*m_folder);
  const std::wstring from = WideOrThrow(InFolder(folder, m_temporaryName));
  const std::wstring to = WideOrThrow(InFolder(folder, m_targetName));
  // Renamed while this run still holds it open, so nobody can take it first.
  const bool moved = TriedWhileShared([&] {
    return ::MoveFileExW(from.c_str(), to.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  });
  if (!moved) {
    ThrowLastWindowsError(FailureKind::Write);
  }
  m_temporaryName.clear();
  m_removedOnTermination.reset();
  m_file.reset();
}

}  // namespace rowvane
