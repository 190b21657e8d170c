#include "engine/batch/BatchStop.h"

#include <utility>

namespace rowvane {

void BatchStop::request() {
  const std::lock_guard lock(m_mutex);
  if (m_requested || !m_action) {
    return;
  }
  m_requested = true;
  m_action();
}

BatchStop::Attached::Attached(BatchStop* stop, std::function<void()> action) : m_stop(stop) {
  if (m_stop != nullptr) {
    const std::lock_guard lock(m_stop->m_mutex);
    m_stop->m_action = std::move(action);
  }
}

BatchStop::Attached::~Attached() {
  if (m_stop != nullptr) {
    // Waits for a stop under way: the batch it reports on must outlive it.
    const std::lock_guard lock(m_stop->m_mutex);
    m_stop->m_action = nullptr;
  }
}

}  // namespace rowvane
