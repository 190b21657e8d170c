#include "cli/ReportingObserver.h"

#include <utility>

namespace rowvane::cli {

ReportingObserver::ReportingObserver(BatchObserver& lines, RunReport& report,
                                     const std::vector<BatchFile>& files, SteadyClock clock)
    : m_lines(lines),
      m_report(report),
      m_files(files),
      m_clock(std::move(clock)),
      m_started(files.size(), m_clock()),
      m_done(files.size(), false) {}

void ReportingObserver::onFileStarted(std::size_t index) {
  m_lines.onFileStarted(index);
  if (index < m_started.size()) {
    m_started[index] = m_clock();
  }
}

void ReportingObserver::onFileFinished(std::size_t index, const FileOutcome& outcome) {
  m_lines.onFileFinished(index, outcome);
  if (index >= m_done.size() || m_done[index]) {
    return;
  }
  m_done[index] = true;
  const std::chrono::duration<double> taken = m_clock() - m_started[index];
  m_report.finished(m_files[index].input, m_files[index].output.path, outcome, taken.count());
}

void ReportingObserver::onFileStopped(std::size_t index, bool written) {
  m_lines.onFileStopped(index, written);
  if (index >= m_done.size() || m_done[index]) {
    return;
  }
  m_done[index] = true;
  m_report.stopped(
      m_files[index].input, m_files[index].output.path,
      written ? "stopped before its output took its name" : "stopped before it was converted");
}

void ReportingObserver::stopRemaining(const std::string& reason) {
  for (std::size_t index = 0; index < m_files.size(); ++index) {
    if (!m_done[index]) {
      m_done[index] = true;
      m_report.stopped(m_files[index].input, m_files[index].output.path, reason);
    }
  }
}

}  // namespace rowvane::cli
