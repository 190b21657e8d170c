#include "cli/BatchReporter.h"

#include "cli/FailureReport.h"

namespace rowvane::cli {

BatchReporter::BatchReporter(const std::vector<std::string>& inputs, std::ostream& errors,
                             ProgressDisplay* progress)
    : m_inputs(inputs), m_errors(errors), m_progress(progress), m_finished(inputs.size(), false) {}

void BatchReporter::onBytesProcessed(std::uint64_t delta) {
  if (m_progress != nullptr) {
    m_progress->addBytes(delta);
  }
}

void BatchReporter::onFileFinished(std::size_t index, const FileOutcome& outcome) {
  if (index >= m_finished.size() || m_finished[index]) {
    return;  // not an input of this batch, or reported already
  }
  m_finished[index] = true;
  std::vector<std::string> lines = DescribeProblems(m_inputs[index], outcome);
  if (!lines.empty()) {
    m_waitingLines.emplace(index, std::move(lines));
  }
  writeReadyLines();
  if (m_progress != nullptr) {
    m_progress->fileFinished();
  }
}

void BatchReporter::onFolderNotFlushed(const std::string& folder, const std::string& message) {
  if (m_progress != nullptr) {
    m_progress->clear();
  }
  m_errors << "rowvane-cli: " << folder << ": the outputs are written, but "
           << kFolderNotFlushedNote << message << '\n';
  m_errors.flush();
}

void BatchReporter::finish() {
  if (m_progress != nullptr) {
    m_progress->finish();
  }
}

void BatchReporter::writeReadyLines() {
  while (m_nextToReport < m_finished.size() && m_finished[m_nextToReport]) {
    const auto waiting = m_waitingLines.find(m_nextToReport);
    if (waiting != m_waitingLines.end()) {
      if (m_progress != nullptr) {
        m_progress->clear();
      }
      for (const std::string& line : waiting->second) {
        m_errors << line << '\n';
      }
      m_errors.flush();
      m_waitingLines.erase(waiting);
    }
    ++m_nextToReport;
  }
}

}  // namespace rowvane::cli
