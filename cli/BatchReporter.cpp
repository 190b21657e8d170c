#include "cli/BatchReporter.h"

#include "cli/FailureReport.h"

namespace rowvane::cli {

BatchReporter::BatchReporter(const std::vector<std::string>& inputs, std::ostream& errors,
                             ProgressDisplay* progress, ReportOrder order)
    : m_inputs(inputs),
      m_errors(errors),
      m_progress(progress),
      m_order(order),
      m_finished(inputs.size(), false) {}

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
  if (m_order == ReportOrder::AsTheyHappen) {
    writeLinesOf(index);
  } else {
    writeReadyLines();
  }
  if (m_progress != nullptr) {
    if (outcome.status == FileOutcome::Status::Converted) {
      m_progress->fileConverted();
    } else {
      m_progress->fileFailed();
    }
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
    writeLinesOf(m_nextToReport);
    ++m_nextToReport;
  }
}

void BatchReporter::writeLinesOf(std::size_t index) {
  const auto waiting = m_waitingLines.find(index);
  if (waiting == m_waitingLines.end()) {
    return;
  }
  if (m_progress != nullptr) {
    m_progress->clear();
  }
  for (const std::string& line : waiting->second) {
    m_errors << line << '\n';
  }
  m_errors.flush();
  m_waitingLines.erase(waiting);
}

}  // namespace rowvane::cli
