#pragma once

#include <cstdint>

namespace rowvane {

class LiveOptions;

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

  /// Options the engine asks again after every pause; none (the default):
  /// the settings' values hold for the whole file.
  virtual const LiveOptions* liveOptions() const { return nullptr; }
};

}  // namespace rowvane
