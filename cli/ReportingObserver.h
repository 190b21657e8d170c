#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/ProgressDisplay.h"
#include "cli/RunReport.h"
#include "engine/Batch.h"

namespace rowvane::cli {

/// Passes a batch's calls on to `lines` (the problem lines and the progress
/// display) and writes each input into `report`, timed from its start to its
/// end, as soon as it is done.
class ReportingObserver : public BatchObserver {
 public:
  /// `lines`, `report` and `files` must outlive the observer.
  ReportingObserver(BatchObserver& lines, RunReport& report, const std::vector<BatchFile>& files,
                    SteadyClock clock);

  void onFileStarted(std::size_t index) override;
  void onBytesProcessed(std::uint64_t delta) override { m_lines.onBytesProcessed(delta); }
  void onFileWritten(std::size_t index) override { m_lines.onFileWritten(index); }
  void onFileFinished(std::size_t index, const FileOutcome& outcome) override;
  void onFileStopped(std::size_t index, bool written) override;
  void onFolderNotFlushed(const std::string& folder, const std::string& message) override {
    m_lines.onFolderNotFlushed(folder, message);
  }

  /// Reports every input not yet done as stopped, for `reason`.
  void stopRemaining(const std::string& reason);

 private:
  BatchObserver& m_lines;
  RunReport& m_report;
  const std::vector<BatchFile>& m_files;
  SteadyClock m_clock;
  std::vector<std::chrono::steady_clock::time_point> m_started;
  std::vector<bool> m_done;
};

}  // namespace rowvane::cli
