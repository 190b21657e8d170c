#pragma once

#include <cstdint>

namespace rowvane {

class LiveOptions;

/// What the caller answers at a pause.
enum class PauseAnswer {
  Continue,  ///< go on converting
  Stop,      ///< abandon the file: the user stopped the run
  Leave,     ///< abandon the file: the caller is going away (the window is closing)
};

/// Hooks into the conversion of one file, all called on the converting thread.
/// Progress and pauses come at most once per pause interval (20 ms by
/// default), at chunk boundaries, never per field.
class ConversionObserver {
 public:
  virtual ~ConversionObserver() = default;

  /// The input has been opened; `size` is its length in bytes.
  virtual void onInputOpened(std::uint64_t size) { (void)size; }

  /// Share of the current file processed so far, from 0.0 to 1.0; called a
  /// last time with 1.0 when the file has been converted.
  virtual void onProgress(double share) { (void)share; }

  /// Lets the caller run its pending events.
  virtual void onPause() {}

  /// Asked after every pause: whether the file goes on. Once told to stop or
  /// leave, the conversion reads no further and returns as soon as it can,
  /// writing nothing more of the document.
  virtual PauseAnswer pauseAnswer() const { return PauseAnswer::Continue; }

  /// Options the engine asks again after every pause; none (the default):
  /// the settings' values hold for the whole file.
  virtual const LiveOptions* liveOptions() const { return nullptr; }
};

}  // namespace rowvane
