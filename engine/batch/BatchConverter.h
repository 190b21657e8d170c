#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/batch/FileConverter.h"
#include "engine/core/ConversionSettings.h"
#include "engine/core/ConversionTuning.h"

namespace rowvane {

/// Hooks into a batch. Calls are serialised by the batch, but may come from
/// any of its worker threads.
class BatchObserver {
 public:
  virtual ~BatchObserver() = default;
  /// A file of the batch has started; `index` is its position in the input list.
  virtual void onFileStarted(std::size_t index) { (void)index; }
  /// More input bytes have been processed, counted over the whole batch.
  virtual void onBytesProcessed(std::uint64_t delta) { (void)delta; }
  /// A file's output is complete and waits for its group to be flushed and
  /// named (see GroupCommit); onFileFinished follows once that is done.
  virtual void onFileWritten(std::size_t index) { (void)index; }
  /// A file of the batch is done.
  virtual void onFileFinished(std::size_t index, const FileOutcome& outcome) {
    (void)index;
    (void)outcome;
  }
  /// The batch was stopped (BatchStop) before this file was done; `written`:
  /// its output was complete, but had not taken its name.
  virtual void onFileStopped(std::size_t index, bool written) {
    (void)index;
    (void)written;
  }
  /// The output folder could not be flushed to the disk once every file was
  /// done: the outputs stand, but may not survive a system crash.
  virtual void onFolderNotFlushed(const std::string& folder, const std::string& message) {
    (void)folder;
    (void)message;
  }
};

/// Converts `inputs` into `outputFolder` with up to `jobs` files at once. Inputs that map to the
/// same output path are converted one after the other in list order, so the
/// final state is that of a conversion in list order. Returns one outcome per
/// input, in list order. Memory running out around a file, the observer's
/// calls included, fails that file alone (FailureKind::OutOfMemory); the batch
/// goes on with fewer workers when the system gives fewer threads, and the
/// calling thread always converts. Call StartBatch first.
std::vector<FileOutcome> ConvertBatch(const std::vector<std::string>& inputs,
                                      const std::string& outputFolder,
                                      const ConversionSettings& settings, unsigned jobs,
                                      BatchObserver& observer, const ConversionTuning& tuning = {});

/// One input of a batch and the output it is written to.
struct BatchFile {
  std::string input;
  OutputName output;
  /// Where to open the input instead of at its path (InputPlace).
  std::optional<InputPlace> place = std::nullopt;
};

/// Each input's output named by OutputPathFor in `outputFolder`, in list order.
std::vector<BatchFile> PlanBatch(const std::vector<std::string>& inputs,
                                 const std::string& outputFolder);

/// The folders the outputs go to, each once, in the order first named.
std::vector<std::string> OutputFoldersOf(const std::vector<BatchFile>& files);

/// The same with the outputs chosen by the caller, who may spread them over
/// several folders; each is flushed once at the end. Call StartBatch for every
/// output folder first. A batch stopped through `tuning.stop` returns once its
/// workers are done; the outcome of a file it stopped is Stopped.
std::vector<FileOutcome> ConvertPlannedBatch(const std::vector<BatchFile>& files,
                                             const ConversionSettings& settings, unsigned jobs,
                                             BatchObserver& observer,
                                             const ConversionTuning& tuning = {});

}  // namespace rowvane
