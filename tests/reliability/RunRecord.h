#pragma once

#include <string>

namespace rowvane::reliability {

/// The verdict on one fault run, as the suite's table counts it.
struct RunRecord {
  int faultClass = 0;
  std::string interface = "window";
  std::string scenario;
  bool faultReached = true;
  bool inputsUnchanged = true;
  /// Every output is the reference conversion or what stood there before.
  bool outputsCorrect = true;
  /// The files that should convert did, and those that should fail did.
  bool restConverted = true;
  int temporaryFilesLeft = 0;
  bool reportsRight = true;
  /// Inputs changed or gone, outputs damaged, earlier outputs lost.
  int dataLost = 0;
  std::string note;
};

/// Appends `record` as one line to the file named by
/// $ROWVANE_RELIABILITY_RESULTS (nothing when it is not set):
/// class|interface|scenario|hit|inputs|outputs|rest|temps|crash|hang|reports|lost|note
void AppendRunRecord(const RunRecord& record);

}  // namespace rowvane::reliability
