#include <fcntl.h>
#include <windows.h>

#include <cerrno>

#include "engine/io/FolderHandle.h"
#include "engine/io/SystemError.h"
#include "engine/io/WindowsFiles.h"

namespace rowvane {

std::shared_ptr<FolderHandle> FolderHandle::Open(const std::string& path) {
  const std::optional<std::wstring> wide = WidePath(path);
  if (!wide) {
    ThrowSystemError(FailureKind::Write, EINVAL);
  }
  // Shared in every way: holding the folder must not stop others' work in it.
  HANDLE handle = ::CreateFileW(wide->c_str(), FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    ThrowLastWindowsError(FailureKind::Write);
  }
  const std::optional<WindowsFileIdentity> identity = IdentityOfHandle(handle);
  if (!identity) {
    const DWORD error = ::GetLastError();
    ::CloseHandle(handle);
    ThrowWindowsError(FailureKind::Write, error);
  }
  if ((identity->attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    ::CloseHandle(handle);
    ThrowSystemError(FailureKind::Write, ENOTDIR);
  }
  FileDescriptor fd = DescriptorOwning(handle, _O_RDONLY);
  if (!fd.valid()) {
    ThrowSystemError(FailureKind::Write, EMFILE);
  }
  return std::make_shared<FolderHandle>(path, std::move(fd), identity->volume, identity->index,
                                        false);
}

bool FolderHandle::stillAtItsPath() {
  const std::optional<WindowsFileIdentity> now = IdentityOfPath(m_path);
  const bool same = now && now->volume == m_device && now->index == m_inode;
  if (!same) {
    m_replaced.store(true, std::memory_order_release);
  }
  return same;
}

void FolderHandle::sync() const {
  // Nothing to do: a rename with MOVEFILE_WRITE_THROUGH has reached the disk
  // with the folder's entry when it returns, and Windows cannot flush a
  // folder handle.
}

}  // namespace rowvane
