#pragma once

#include <functional>
#include <mutex>

namespace rowvane {

/// Lets another thread stop a running batch (ConvertPlannedBatch, given this
/// in its tuning) at once, as a termination signal asks.
class BatchStop {
 public:
  /// Stops the batch now running with this, if any: no file starts, no output
  /// not yet named takes its name, and every file not finished is reported
  /// to the batch's observer as stopped (BatchObserver::onFileStopped)
  /// before this returns. Files still being converted go on in the
  /// background and are dropped when done. Later calls do nothing.
  void request();

  /// For the batch: while `stop` is attached, request() calls it once.
  class Attached {
   public:
    Attached(BatchStop* stop, std::function<void()> action);
    ~Attached();
    Attached(const Attached&) = delete;
    Attached& operator=(const Attached&) = delete;

   private:
    BatchStop* m_stop;
  };

 private:
  std::mutex m_mutex;
  std::function<void()> m_action;
  bool m_requested = false;
};

}  // namespace rowvane
