#include "app/handlers/PreviewWorker.h"

#include <exception>
#include <utility>

namespace rowvane::app {

PreviewWorker::PreviewWorker(QObject* parent)
    : QObject(parent), m_thread([this](std::stop_token stop) { work(std::move(stop)); }) {}

PreviewWorker::~PreviewWorker() {
  // Ends the preview being made at its next pause, before the members go.
  m_thread.request_stop();
  m_thread.join();
}

void PreviewWorker::request(PreviewRequest request) {
  {
    const std::lock_guard lock(m_mutex);
    m_pending = std::move(request);
    ++m_generation;
  }
  m_wake.notify_one();
}

void PreviewWorker::cancel() {
  const std::lock_guard lock(m_mutex);
  m_pending.reset();
  ++m_generation;
}

void PreviewWorker::work(std::stop_token stop) {
  while (true) {
    PreviewRequest request;
    std::uint64_t generation = 0;
    {
      std::unique_lock lock(m_mutex);
      if (!m_wake.wait(lock, stop, [this] { return m_pending.has_value(); })) {
        return;
      }
      request = std::move(*m_pending);
      m_pending.reset();
      generation = m_generation;
    }
    const std::function<bool()> cancelled = [&] {
      return stop.stop_requested() || m_generation != generation;
    };
    std::optional<Preview> preview;
    try {
      preview = ConvertForPreview(request, cancelled);
    } catch (const std::exception& error) {
      preview = Preview{QStringLiteral("No preview: %1").arg(QString::fromUtf8(error.what())), {}};
    }
    if (preview && !cancelled()) {
      deliver(std::move(*preview), generation);
    }
  }
}

void PreviewWorker::deliver(Preview preview, std::uint64_t generation) {
  // Queued to this object's thread; dropped there when a newer request came
  // meanwhile, and by Qt when the worker is gone.
  QMetaObject::invokeMethod(
      this,
      [this, preview = std::move(preview), generation] {
        if (m_generation == generation) {
          emit previewReady(preview);
        }
      },
      Qt::QueuedConnection);
}

}  // namespace rowvane::app
