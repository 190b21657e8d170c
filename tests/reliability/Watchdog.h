#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace rowvane::reliability {

/// Ends the process with abort() when it is still alive after `limit`: a hung
/// run must show up as a failure rather than stall the suite. Disarmed when
/// destroyed.
class Watchdog {
 public:
  Watchdog(std::string what, std::chrono::seconds limit)
      : m_what(std::move(what)), m_thread([this, limit](std::stop_token stop) {
          std::unique_lock lock(m_mutex);
          if (!m_stopped.wait_for(lock, stop, limit, [] { return false; })) {
            if (!stop.stop_requested()) {
              std::fprintf(stderr, "HANG: %s did not finish in time\n", m_what.c_str());
              std::abort();
            }
          }
        }) {}
  ~Watchdog() { m_thread.request_stop(); }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  std::string m_what;
  std::mutex m_mutex;
  std::condition_variable_any m_stopped;
  std::jthread m_thread;  // last: starts once the members above exist
};

}  // namespace rowvane::reliability
