#pragma once

#include <functional>
#include <mutex>
#include <ostream>
#include <vector>

#include "cli/RunReport.h"
#include "engine/Batch.h"
#include "engine/Files.h"

namespace rowvane::cli {

/// A run's answer to SIGINT, SIGTERM or SIGHUP from its first moment to its
/// last: the report is closed with totals marked "interrupted", every input
/// known by then and not done reported stopped, and the process then ends as
/// the signal says (see StopOnTermination). The run's own thread writes the
/// report only through `write` and, once a signal is taken, goes no further
/// there: nothing it does afterwards can be missing from the report.
class RunInterruption {
 public:
  /// `seconds` gives the time since the run started; `err` is flushed last.
  RunInterruption(std::function<double()> seconds, std::ostream& err);

  /// The report from now on (none until it is open).
  void useReport(RunReport* report);
  /// The inputs found so far, reported stopped should a signal come before
  /// the batch starts; `files` must outlive this.
  void know(const std::vector<BatchFile>* files);
  /// While the batch runs: how a signal stops it (and reports what it did not finish).
  void duringBatch(std::function<void()> stopBatch);
  /// Runs `step` on the report, unless a signal came first.
  void write(const std::function<void(RunReport&)>& step);
  /// As write, for the report's last line: a signal after it adds nothing.
  void close(const std::function<void(RunReport&)>& step);

 private:
  void onSignal();

  std::function<double()> m_seconds;
  std::ostream& m_err;
  std::mutex m_mutex;  // held for good once a signal is taken
  RunReport* m_report = nullptr;
  const std::vector<BatchFile>* m_known = nullptr;
  std::function<void()> m_stopBatch;
  bool m_closed = false;
  StopOnTermination m_signals;  // last: it goes first, before what it reports on
};

}  // namespace rowvane::cli
