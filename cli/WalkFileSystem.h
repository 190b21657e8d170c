#pragma once

#include <memory>

#include "filelist/FileSystem.h"

namespace rowvane::cli {

/// The file system that -r walks and the inputs are gathered from: this
/// machine's, seen as the platform's rules for a walk want it.
class WalkFileSystem {
 public:
  WalkFileSystem();
  ~WalkFileSystem();
  WalkFileSystem(const WalkFileSystem&) = delete;
  WalkFileSystem& operator=(const WalkFileSystem&) = delete;

  const FileSystem& get() const { return *m_view; }

 private:
  std::unique_ptr<FileSystem> m_platform;
  std::unique_ptr<FileSystem> m_view;
};

}  // namespace rowvane::cli
