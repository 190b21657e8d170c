#include "engine/io/BackgroundWriter.h"

#include <algorithm>

namespace rowvane {

BackgroundWriter::BackgroundWriter(OutputSink& target, std::size_t blockSize)
    : m_target(target),
      m_blockSize(std::max<std::size_t>(blockSize, 1)),
      m_thread([this](std::stop_token stop) { run(stop); }) {
  m_filling.reserve(m_blockSize);
  m_pending.reserve(m_blockSize);
}

BackgroundWriter::~BackgroundWriter() {
  m_thread.request_stop();
  m_changed.notify_all();
}

void BackgroundWriter::run(std::stop_token stop) {
  std::unique_lock lock(m_mutex);
  for (;;) {
    m_changed.wait(lock, stop, [this] { return m_busy; });
    if (stop.stop_requested()) {
      return;
    }
    lock.unlock();
    std::exception_ptr failure;
    try {
      m_target.write(m_pending.data(), m_pending.size());
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    if (failure && !m_failure) {
      m_failure = failure;
    }
    m_pending.clear();
    m_busy = false;
    m_changed.notify_all();
  }
}

void BackgroundWriter::waitUntilIdle(std::unique_lock<std::mutex>& lock) {
  m_changed.wait(lock, [this] { return !m_busy; });
}

void BackgroundWriter::throwIfFailed() {
  if (m_failure) {
    std::rethrow_exception(m_failure);
  }
}

void BackgroundWriter::handOver() {
  std::unique_lock lock(m_mutex);
  waitUntilIdle(lock);
  throwIfFailed();
  m_pending.swap(m_filling);
  m_busy = true;
  m_changed.notify_all();
}

void BackgroundWriter::write(const char* data, std::size_t size) {
  while (size > 0) {
    const std::size_t room = m_blockSize - m_filling.size();
    const std::size_t count = std::min(room, size);
    m_filling.insert(m_filling.end(), data, data + count);
    data += count;
    size -= count;
    if (m_filling.size() == m_blockSize) {
      handOver();
    }
  }
}

void BackgroundWriter::discard() {
  std::unique_lock lock(m_mutex);
  waitUntilIdle(lock);
  throwIfFailed();
  m_filling.clear();
  m_target.discard();
}

void BackgroundWriter::finish() {
  if (!m_filling.empty()) {
    handOver();
  }
  std::unique_lock lock(m_mutex);
  waitUntilIdle(lock);
  throwIfFailed();
}

}  // namespace rowvane
