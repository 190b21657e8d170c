#include "engine/io/FolderHandleCache.h"

#include <algorithm>

namespace rowvane {

std::shared_ptr<FolderHandle> FolderHandleCache::open(const std::string& path) {
  const std::lock_guard lock(m_mutex);
  const auto found = std::find_if(m_recent.begin(), m_recent.end(),
                                  [&](const auto& handle) { return handle->path() == path; });
  if (found != m_recent.end()) {
    if (!(*found)->replaced()) {
      m_recent.splice(m_recent.begin(), m_recent, found);
      return m_recent.front();
    }
    m_recent.erase(found);
  }
  m_recent.push_front(FolderHandle::Open(path));
  if (m_recent.size() > m_capacity) {
    m_recent.pop_back();
  }
  return m_recent.front();
}

std::size_t FolderHandleCache::size() const {
  const std::lock_guard lock(m_mutex);
  return m_recent.size();
}

}  // namespace rowvane
