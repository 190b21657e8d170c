#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "cli/ProgressDisplay.h"
#include "engine/Batch.h"

namespace rowvane::cli {

/// When the problems of an input are written.
enum class ReportOrder {
  /// In input order, each input's as soon as every earlier input has
  /// finished, so a log is the same whatever the number of jobs.
  InputOrder,
  /// As soon as the input has finished, for someone watching a terminal.
  AsTheyHappen,
};

/// Follows a batch for rowvane-cli: feeds the progress display, when there is
/// one, and writes the problems of each input to `errors` (see
/// DescribeProblems), one line each, in the order asked. Relies on the batch
/// serialising its calls. Never throws for want of memory: an input whose
/// lines cannot be built still gets one line, that says so, and the progress
/// display is let go.
class BatchReporter : public BatchObserver {
 public:
  /// `inputs` and `errors` must outlive the reporter; `progress` may be null.
  BatchReporter(const std::vector<std::string>& inputs, std::ostream& errors,
                ProgressDisplay* progress, ReportOrder order = ReportOrder::InputOrder);

  void onBytesProcessed(std::uint64_t delta) override;
  void onFileWritten(std::size_t index) override;
  void onFileFinished(std::size_t index, const FileOutcome& outcome) override;
  void onFolderNotFlushed(const std::string& folder, const std::string& message) override;
  /// Ends the progress line for good; an output that was written but not yet
  /// named gets a line that says it was not converted.
  void onFileStopped(std::size_t index, bool written) override;

  /// Ends the progress line; call once the batch has returned.
  void finish();

 private:
  /// What is known of an input whose lines could not be built for want of memory.
  enum class Unexplained : unsigned char { No, NotConverted, ConvertedWithProblems };

  void writeReadyLines();
  void writeLinesOf(std::size_t index);
  void writeUnexplainedLine(std::size_t index, Unexplained what);
  void clearProgress() noexcept;

  const std::vector<std::string>& m_inputs;
  std::ostream& m_errors;
  ProgressDisplay* m_progress;
  ReportOrder m_order;
  std::vector<bool> m_finished;
  std::vector<bool> m_written;             // counted as waiting for a flush by the display
  std::vector<Unexplained> m_unexplained;  // by input index, made up front
  std::map<std::size_t, std::vector<std::string>> m_waitingLines;  // by input index
  std::size_t m_nextToReport = 0;
};

}  // namespace rowvane::cli
