#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "engine/core/ConversionObserver.h"
#include "engine/core/LiveOptions.h"

namespace rowvane {

/// Where a conversion lets its caller in: at most once per interval it tells
/// the observer how far the input is read, lets it pause, and takes the
/// options that may change during a run from it.
class PausePoints {
 public:
  PausePoints(ConversionObserver& observer, std::chrono::milliseconds interval,
              std::optional<std::uint64_t> inputSize, bool includeRowTags)
      : m_observer(observer),
        m_interval(interval),
        m_inputSize(inputSize),
        m_includeRowTags(includeRowTags),
        m_last(std::chrono::steady_clock::now()) {}

  /// Pauses when the interval has passed since the last pause; true once
  /// the caller has answered Stop or Leave at one (it is never asked again).
  bool whenDue(std::uint64_t bytesRead) {
    if (m_told) {
      return true;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - m_last < m_interval) {
      return false;
    }
    m_last = now;
    if (m_inputSize && *m_inputSize > 0) {
      m_observer.onProgress(static_cast<double>(bytesRead) / static_cast<double>(*m_inputSize));
    }
    m_observer.onPause();
    m_told = m_observer.pauseAnswer() != PauseAnswer::Continue;
    if (const LiveOptions* live = m_observer.liveOptions()) {
      m_includeRowTags = live->includeRowTags();
    }
    return m_told;
  }

  /// True once a pause was answered Stop or Leave.
  bool told() const { return m_told; }

  /// The row-tag option as the caller had it at the last pause.
  bool includeRowTags() const { return m_includeRowTags; }

 private:
  ConversionObserver& m_observer;
  std::chrono::milliseconds m_interval;
  std::optional<std::uint64_t> m_inputSize;
  bool m_includeRowTags;
  std::chrono::steady_clock::time_point m_last;
  bool m_told = false;
};

}  // namespace rowvane
