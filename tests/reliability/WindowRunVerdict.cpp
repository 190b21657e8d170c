#include "tests/reliability/WindowRunVerdict.h"

#include <QDir>
#include <sstream>
#include <utility>

#include "tests/reliability/WindowBatch.h"

namespace rowvane::reliability {
namespace {

int ReportsAt(const std::vector<app::testing::ShownMessage>& shown, int line) {
  const QString label = QStringLiteral("at line %1\r\r").arg(line);
  int count = 0;
  for (const auto& message : shown) {
    if (message.title == QStringLiteral("Application Error") && message.text.contains(label)) {
      ++count;
    }
  }
  return count;
}

bool IsTemporaryName(const std::string& name) {
  return name.starts_with(".rowvane-");  // ".tmp", or ".new" while being created
}

}  // namespace

RunVerdict::RunVerdict(int faultClass, std::string scenario, const Arrangement& arrangement,
                       ReferenceLookup reference)
    : m_arrangement(arrangement), m_reference(std::move(reference)) {
  m_record.faultClass = faultClass;
  m_record.scenario = std::move(scenario);
}

void RunVerdict::checkFaultReached(unsigned injected) {
  if (m_arrangement.faultIsInjected && injected == 0) {
    m_record.faultReached = false;
    problem("the fault was never reached");
  }
}

void RunVerdict::checkInputs(const std::string& in,
                             const std::map<std::string, FileStamp>& before) {
  for (const auto& [name, stamp] : before) {
    if (m_arrangement.removedInputs.contains(name)) {
      continue;
    }
    const auto now = StampOf(in + "/" + name);
    if (!now || *now != stamp) {
      m_record.inputsUnchanged = false;
      ++m_record.dataLost;
      problem("input " + name + (now ? " changed" : " is gone"));
    }
  }
}

void RunVerdict::checkOutputs(const std::string& out,
                              const std::map<std::string, FileStamp>& before) {
  if (m_arrangement.outputFolderRemoved) {
    // The test took the outputs away itself; what matters is that the run
    // neither put the folder back nor claimed to have written into it.
    if (QDir(QString::fromStdString(out)).exists()) {
      problem("the removed output folder is back");
      m_record.outputsCorrect = false;
    }
    for (const InputSpec& input : Batch()) {
      m_failedByOutput += expected(input.name) == Expect::FailsWrite ? 1 : 0;
    }
    return;
  }
  for (const InputSpec& input : Batch()) {
    checkOutput(out, input.name, before);
  }
  for (const auto& [name, stamp] : StampFolder(out)) {
    const bool known = name.ends_with(".xml") || name == "filler" || IsTemporaryName(name);
    if (!known) {
      problem("unexpected file " + name + " in the output folder");
      m_record.outputsCorrect = false;
    }
  }
}

void RunVerdict::checkTemporaryFiles(const std::string& in, const std::string& out) {
  const auto left = TemporaryFilesIn(out);
  const auto leftInInput = TemporaryFilesIn(in);
  m_record.temporaryFilesLeft = static_cast<int>(left.size() + leftInInput.size());
  for (const std::string& name : left) {
    problem("temporary file left: " + name);
  }
}

void RunVerdict::checkReports(const std::vector<app::testing::ShownMessage>& shown) {
  int expectedWrite = 0;
  int expectedRead = 0;
  int eitherWay = 0;
  for (const InputSpec& input : Batch()) {
    switch (expected(input.name)) {
      case Expect::FailsWrite:
        ++expectedWrite;
        break;
      case Expect::FailsRead:
        ++expectedRead;
        break;
      case Expect::Either:
        ++eitherWay;
        break;
      case Expect::Converted:
      case Expect::Skipped:
        break;
    }
  }
  const int writeReports = ReportsAt(shown, 256);
  const int readReports = ReportsAt(shown, 170);
  // Every report must go with a file whose earlier output was kept, and
  // every such file with a report.
  const bool writesAgree =
      writeReports >= expectedWrite && writeReports <= expectedWrite + eitherWay;
  const bool readsAgree = readReports == expectedRead;
  const bool reportsMatchOutputs = writeReports + readReports == m_failedByOutput;
  const bool onlyThose = static_cast<int>(shown.size()) == writeReports + readReports + 1;
  const bool doneLast = !shown.empty() && shown.back().text == QStringLiteral("Done.");
  if (!(writesAgree && readsAgree && reportsMatchOutputs && onlyThose && doneLast)) {
    m_record.reportsRight = false;
    std::ostringstream text;
    text << "reports: " << writeReports << " at 256 (expected " << expectedWrite << "+" << eitherWay
         << "), " << readReports << " at 170 (expected " << expectedRead
         << "), files whose output shows a failure: " << m_failedByOutput << ", " << shown.size()
         << " boxes, last '" << (shown.empty() ? "" : shown.back().text.toStdString()) << "'";
    problem(text.str());
  }
}

const RunRecord& RunVerdict::record() {
  m_record.note = m_problems;
  return m_record;
}

Expect RunVerdict::expected(const std::string& input) const {
  const auto found = m_arrangement.expect.find(input);
  return found == m_arrangement.expect.end() ? Expect::Converted : found->second;
}

void RunVerdict::checkOutput(const std::string& out, const std::string& input,
                             const std::map<std::string, FileStamp>& before) {
  const std::string name = OutputNameOf(input);
  const auto now = StampOf(out + "/" + name);
  const auto earlierFound = before.find(name);
  const std::optional<FileStamp> earlier =
      earlierFound == before.end() ? std::nullopt : std::optional(earlierFound->second);
  const auto reference = m_reference(input);
  const bool isReference = now && reference && now->sha256 == reference->sha256;
  const bool isEarlier = now == earlier;  // both absent counts as kept
  if (!isReference && !isEarlier) {
    ++m_record.dataLost;
    m_record.outputsCorrect = false;
    problem(name + (now ? " is neither the reference nor the earlier output"
                        : " is gone, and it stood there before"));
    return;
  }
  const bool converted = isReference || (!reference && isEarlier);
  const Expect expect = expected(input);
  if (!converted && expect != Expect::Skipped) {
    ++m_failedByOutput;  // a file that was there to convert and was not
  }
  const bool asExpected =
      expect == Expect::Either || (expect == Expect::Converted ? converted : isEarlier);
  if (!asExpected) {
    m_record.restConverted = false;
    problem(name +
            (converted ? " was replaced although this file should fail" : " was not converted"));
  }
}

void RunVerdict::problem(const std::string& text) {
  if (!m_problems.empty()) {
    m_problems += "; ";
  }
  m_problems += text;
}

}  // namespace rowvane::reliability
