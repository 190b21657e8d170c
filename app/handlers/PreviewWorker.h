#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

#include "app/handlers/PreviewConversion.h"

namespace rowvane::app {

/// Makes previews on a thread of its own, so that the window never waits for
/// one. Only the newest request counts: a newer one ends the preview being
/// made at the engine's next pause, and so does the worker's end.
class PreviewWorker : public QObject {
  Q_OBJECT

 public:
  explicit PreviewWorker(QObject* parent = nullptr);
  ~PreviewWorker() override;
  PreviewWorker(const PreviewWorker&) = delete;
  PreviewWorker& operator=(const PreviewWorker&) = delete;

  /// Asks for the preview of `request`, in place of any asked before.
  void request(PreviewRequest request);

  /// Ends the preview being made, and drops one asked for but not begun.
  void cancel();

 signals:
  /// On the worker's own (the window's) thread: the preview of the newest request.
  void previewReady(const rowvane::app::Preview& preview);

 private:
  void work(std::stop_token stop);
  void deliver(Preview preview, std::uint64_t generation);

  std::mutex m_mutex;
  std::condition_variable_any m_wake;
  std::optional<PreviewRequest> m_pending;
  std::atomic<std::uint64_t> m_generation{0};
  // Last: it starts once everything it uses is there, and stops first.
  std::jthread m_thread;
};

}  // namespace rowvane::app
