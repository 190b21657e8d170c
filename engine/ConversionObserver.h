#pragma once

namespace rowvane {

/// Hooks into the conversion of one file, all called on the converting thread.
/// Both are called at most once per pause interval (20 ms by default), at
/// chunk boundaries, never per field.
class ConversionObserver {
 public:
  virtual ~ConversionObserver() = default;

  /// Share of the current file processed so far, from 0.0 to 1.0; called a
  /// last time with 1.0 when the file has been converted.
  virtual void onProgress(double share) { (void)share; }

  /// Lets the caller run its pending events. `includeRowTags` holds the value
  /// in force; a caller whose option changed meanwhile stores the new value,
  /// which applies from the next record on.
  virtual void onPause(bool& includeRowTags) { (void)includeRowTags; }
};

}  // namespace rowvane
