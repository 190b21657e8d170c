#pragma once

#include <cstddef>
#include <functional>
#include <string_view>
#include <thread>

#include "engine/io/FileDescriptor.h"

namespace rowvane {

/// Makes a write beyond the process's file size limit fail with an error,
/// which the engine reports for that one file, instead of ending the program
/// with a signal. Call once at the start of main().
void LetOversizedWritesFail();

/// On SIGINT, SIGTERM and SIGHUP, removes the temporary files registered by
/// RemovedOnTermination, then ends the process by that same signal, so that
/// a shell sees how it ended. A signal the process was started ignoring stays
/// ignored. Call once at the start of main().
void RemoveTemporaryFilesOnTermination();

/// From now on SIGINT and SIGTERM end the process with status 0 after the
/// clean-up above, for a program that runs until it is told to stop.
void StopNormallyOnInterrupt();

/// While it lives, a termination signal (above) does not end the process
/// inside its handler: `onStop(signal)` runs first on a thread of its own,
/// where it may take locks and write reports, and then the clean-up and the
/// end follow as above. A second signal of the same kind ends the process at
/// once. One at a time; the handlers must be installed.
class StopOnTermination {
 public:
  explicit StopOnTermination(std::function<void(int signal)> onStop);
  ~StopOnTermination();
  StopOnTermination(const StopOnTermination&) = delete;
  StopOnTermination& operator=(const StopOnTermination&) = delete;

 private:
  void waitForSignal();

  std::function<void(int)> m_onStop;
  FileDescriptor m_quitRead;  // sees its other end closed when it is time to let go
  FileDescriptor m_quitWrite;
  std::jthread m_waiter;
};

/// While it lives, the entries `first` and `second` of the open folder
/// `folder` (either may not exist) are removed should the process end by one
/// of the signals above. Up to 256 entries are kept at once; beyond that a
/// file is left for the next run's clean-up. The folder must stay open while
/// this lives.
class RemovedOnTermination {
 public:
  RemovedOnTermination(int folder, std::string_view first, std::string_view second);
  ~RemovedOnTermination();
  RemovedOnTermination(const RemovedOnTermination&) = delete;
  RemovedOnTermination& operator=(const RemovedOnTermination&) = delete;

 private:
  std::ptrdiff_t m_slot = -1;
};

}  // namespace rowvane
