#include "cli/BatchReporter.h"

#include <new>

#include "cli/DisplayEscape.h"
#include "cli/FailureReport.h"

namespace rowvane::cli {

BatchReporter::BatchReporter(const std::vector<std::string>& inputs, std::ostream& errors,
                             ProgressDisplay* progress, ReportOrder order)
    : m_inputs(inputs),
      m_errors(errors),
      m_progress(progress),
      m_order(order),
      m_finished(inputs.size(), false),
      m_written(inputs.size(), false),
      m_unexplained(inputs.size(), Unexplained::No) {}

void BatchReporter::onBytesProcessed(std::uint64_t delta) {
  if (m_progress == nullptr) {
    return;
  }
  try {
    m_progress->addBytes(delta);
  } catch (const std::bad_alloc&) {
    m_progress = nullptr;  // the display is a comfort; the report is not
  }
}

void BatchReporter::onFileWritten(std::size_t index) {
  if (m_progress == nullptr || index >= m_written.size()) {
    return;
  }
  m_written[index] = true;
  try {
    m_progress->fileWritten();
  } catch (const std::bad_alloc&) {
    m_progress = nullptr;
  }
}

void BatchReporter::onFileFinished(std::size_t index, const FileOutcome& outcome) {
  if (index >= m_finished.size() || m_finished[index]) {
    return;  // not an input of this batch, or reported already
  }
  m_finished[index] = true;
  try {
    std::vector<std::string> lines = DescribeProblems(m_inputs[index], outcome);
    if (!lines.empty()) {
      m_waitingLines.emplace(index, std::move(lines));
    }
  } catch (const std::bad_alloc&) {
    if (!ConvertedCleanly(outcome)) {
      m_unexplained[index] = outcome.status == FileOutcome::Status::Converted
                                 ? Unexplained::ConvertedWithProblems
                                 : Unexplained::NotConverted;
    }
  }
  if (m_order == ReportOrder::AsTheyHappen) {
    writeLinesOf(index);
  } else {
    writeReadyLines();
  }
  if (m_progress != nullptr) {
    try {
      if (outcome.status == FileOutcome::Status::Converted) {
        m_progress->fileConverted(m_written[index]);
      } else {
        m_progress->fileFailed(m_written[index]);
      }
    } catch (const std::bad_alloc&) {
      m_progress = nullptr;
    }
  }
}

void BatchReporter::onFileStopped(std::size_t index, bool written) {
  finish();
  m_progress = nullptr;  // the run ends here
  if (index >= m_finished.size() || m_finished[index]) {
    return;
  }
  m_finished[index] = true;
  if (written) {
    try {
      m_waitingLines[index].push_back("rowvane-cli: " + EscapeForDisplay(m_inputs[index]) +
                                      ": stopped before its output took its name; not converted");
    } catch (const std::bad_alloc&) {
      m_unexplained[index] = Unexplained::NotConverted;
    }
  }
  if (m_order == ReportOrder::AsTheyHappen) {
    writeLinesOf(index);
  } else {
    writeReadyLines();
  }
}

void BatchReporter::onFolderNotFlushed(const std::string& folder, const std::string& message) {
  clearProgress();
  m_errors << "rowvane-cli: ";
  WriteEscaped(m_errors, folder);
  m_errors << ": the outputs are written, but " << kFolderNotFlushedNote;
  WriteEscaped(m_errors, message);
  m_errors << '\n';
  m_errors.flush();
}

void BatchReporter::finish() {
  if (m_progress == nullptr) {
    return;
  }
  try {
    m_progress->finish();
  } catch (const std::bad_alloc&) {
    m_progress = nullptr;
  }
}

void BatchReporter::clearProgress() noexcept {
  if (m_progress == nullptr) {
    return;
  }
  try {
    m_progress->clear();
  } catch (const std::bad_alloc&) {
    m_progress = nullptr;
  }
}

// Streams its pieces straight out: building a line would need memory.
void BatchReporter::writeUnexplainedLine(std::size_t index, Unexplained what) {
  clearProgress();
  m_errors << "rowvane-cli: ";
  WriteEscaped(m_errors, m_inputs[index]);
  m_errors << (what == Unexplained::NotConverted
                   ? ": not converted; no memory was left to say why\n"
                   : ": converted, but no memory was left to describe a problem\n");
  m_errors.flush();
}

void BatchReporter::writeReadyLines() {
  while (m_nextToReport < m_finished.size() && m_finished[m_nextToReport]) {
    writeLinesOf(m_nextToReport);
    ++m_nextToReport;
  }
}

void BatchReporter::writeLinesOf(std::size_t index) {
  if (m_unexplained[index] != Unexplained::No) {
    writeUnexplainedLine(index, m_unexplained[index]);
    m_unexplained[index] = Unexplained::No;
  }
  const auto waiting = m_waitingLines.find(index);
  if (waiting == m_waitingLines.end()) {
    return;
  }
  clearProgress();
  for (const std::string& line : waiting->second) {
    m_errors << line << '\n';
  }
  m_errors.flush();
  m_waitingLines.erase(waiting);
}

}  // namespace rowvane::cli
