#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/io/OutputSink.h"

namespace rowvane {

/// Passes the output on to another sink from a thread of its own, in large
/// blocks, so that converting and writing overlap. Memory stays at two
/// blocks. A failure of the other sink comes back from the next write(),
/// discard() or finish().
class BackgroundWriter : public OutputSink {
 public:
  explicit BackgroundWriter(OutputSink& target, std::size_t blockSize = std::size_t{1} << 20);
  /// Stops the thread; what was not written yet is dropped.
  ~BackgroundWriter() override;
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;

  void write(const char* data, std::size_t size) override;
  void discard() override;
  /// Writes out everything and waits for it; throws the first failure.
  void finish();

 private:
  void handOver();
  void waitUntilIdle(std::unique_lock<std::mutex>& lock);
  void throwIfFailed();
  void run(std::stop_token stop);

  OutputSink& m_target;
  std::size_t m_blockSize;
  std::vector<char> m_filling;  // written by the caller's thread only
  std::vector<char> m_pending;  // guarded by m_mutex; written out by the thread
  bool m_busy = false;          // the thread holds m_pending
  std::exception_ptr m_failure;
  std::mutex m_mutex;
  std::condition_variable_any m_changed;
  std::jthread m_thread;  // last: starts after everything it uses exists
};

}  // namespace rowvane
