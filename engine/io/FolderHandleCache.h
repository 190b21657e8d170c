#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>

#include "engine/io/FolderHandle.h"

namespace rowvane {

/// The output folders of one batch, each opened once by its path and kept
/// open for the files that follow; the least recently used is closed when
/// more are asked for than the cache holds (files still saving through it
/// keep it open). A folder whose path has been given to another folder since
/// it was opened is opened again. Safe to use from several threads.
class FolderHandleCache {
 public:
  static constexpr std::size_t kDefaultCapacity = 64;

  explicit FolderHandleCache(std::size_t capacity = kDefaultCapacity) : m_capacity(capacity) {}

  /// The open folder at `path`; throws ConversionError(FailureKind::Write)
  /// when it cannot be opened.
  std::shared_ptr<FolderHandle> open(const std::string& path);
  std::size_t size() const;

 private:
  std::size_t m_capacity;
  mutable std::mutex m_mutex;
  std::list<std::shared_ptr<FolderHandle>> m_recent;  // most recently used first
};

}  // namespace rowvane
