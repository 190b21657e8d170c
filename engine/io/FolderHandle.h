#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "engine/io/FileDescriptor.h"

namespace rowvane {

/// An output folder opened once by its path, with the identity it had then.
/// Files saved through it land in the folder that was opened, even when its
/// path has been given to another folder since; stillAtItsPath() tells when
/// that happened, so that a cache of handles opens the path again.
class FolderHandle {
 public:
  /// Opens `path`; throws ConversionError(FailureKind::Write) when it cannot.
  static std::shared_ptr<FolderHandle> Open(const std::string& path);

  int fd() const { return m_fd.get(); }
  const std::string& path() const { return m_path; }
  /// One status call on the path: false, and from then on replaced(), when
  /// the path no longer leads to the opened folder (or to nothing).
  bool stillAtItsPath();
  bool replaced() const { return m_replaced.load(std::memory_order_acquire); }
  /// Whether an unnamed file made here can be given a name later without a
  /// privilege (through /proc), asked once when the folder is opened.
  bool unnamedFilesLinkable() const { return m_unnamedLinkable; }
  /// Flushes the folder's entries to the disk; throws ConversionError(FailureKind::Write).
  void sync() const;

  FolderHandle(std::string path, FileDescriptor fd, std::uint64_t device, std::uint64_t inode,
               bool unnamedLinkable)
      : m_path(std::move(path)),
        m_fd(std::move(fd)),
        m_device(device),
        m_inode(inode),
        m_unnamedLinkable(unnamedLinkable) {}

 private:
  std::string m_path;
  FileDescriptor m_fd;
  std::uint64_t m_device;
  std::uint64_t m_inode;
  bool m_unnamedLinkable;
  std::atomic<bool> m_replaced{false};
};

}  // namespace rowvane
