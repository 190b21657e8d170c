#include "cli/RunInterruption.h"

#include <utility>

namespace rowvane::cli {

RunInterruption::RunInterruption(std::function<double()> seconds, std::ostream& err)
    : m_seconds(std::move(seconds)), m_err(err), m_signals([this](int) { onSignal(); }) {}

void RunInterruption::useReport(RunReport* report) {
  const std::lock_guard lock(m_mutex);
  m_report = report;
}

void RunInterruption::know(const std::vector<BatchFile>* files) {
  const std::lock_guard lock(m_mutex);
  m_known = files;
}

void RunInterruption::duringBatch(std::function<void()> stopBatch) {
  const std::lock_guard lock(m_mutex);
  m_stopBatch = std::move(stopBatch);
}

void RunInterruption::write(const std::function<void(RunReport&)>& step) {
  const std::lock_guard lock(m_mutex);
  if (m_report != nullptr) {
    step(*m_report);
  }
}

void RunInterruption::close(const std::function<void(RunReport&)>& step) {
  const std::lock_guard lock(m_mutex);
  if (m_report != nullptr) {
    step(*m_report);
  }
  m_closed = true;
}

void RunInterruption::onSignal() {
  // Never released: the process ends on this thread once this returns, and
  // the run's thread must not write a line or rename an output meanwhile.
  m_mutex.lock();
  if (m_closed) {
    return;  // the report is whole: every input in it, and its totals
  }
  if (m_stopBatch) {
    m_stopBatch();
  } else if (m_report != nullptr && m_known != nullptr) {
    for (const BatchFile& file : *m_known) {
      m_report->stopped(file.input, file.output.path, "stopped before it was converted");
    }
  }
  if (m_report != nullptr) {
    m_report->totals(m_seconds(), true);
  }
  m_err.flush();
}

}  // namespace rowvane::cli
