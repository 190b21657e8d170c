#include "cli/BatchReporter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/FailureReport.h"

namespace rowvane::cli {
namespace {

using Status = FileOutcome::Status;

FileOutcome Outcome(Status status, std::vector<Failure> failures = {},
                    std::string outputPath = "out/a.xml") {
  FileOutcome outcome;
  outcome.status = status;
  outcome.failures = std::move(failures);
  outcome.outputPath = std::move(outputPath);
  return outcome;
}

struct ProblemCase {
  const char* name;
  FileOutcome outcome;
  std::vector<std::string> lines;
};

void PrintTo(const ProblemCase& row, std::ostream* out) {
  *out << row.name;
}

class DescribeProblemsTest : public ::testing::TestWithParam<ProblemCase> {};

TEST_P(DescribeProblemsTest, OneLinePerProblemNamingTheInput) {
  EXPECT_EQ(DescribeProblems("in/a.csv", GetParam().outcome), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    FailureReport, DescribeProblemsTest,
    ::testing::Values(
        ProblemCase{"Converted", Outcome(Status::Converted), {}},
        ProblemCase{
            "Missing", Outcome(Status::Missing), {"rowvane-cli: in/a.csv: input file not found"}},
        ProblemCase{"ReadFailure",
                    Outcome(Status::Failed, {{FailureKind::Read, "Permission denied"}}),
                    {"rowvane-cli: in/a.csv: cannot read the input: Permission denied"}},
        ProblemCase{"WriteFailure",
                    Outcome(Status::Failed, {{FailureKind::Write, "No space left on device"}}),
                    {"rowvane-cli: in/a.csv: cannot write out/a.xml: No space left on device"}},
        ProblemCase{"FailureWithoutMessage",
                    Outcome(Status::Failed, {{FailureKind::Read, ""}}),
                    {"rowvane-cli: in/a.csv: cannot read the input"}},
        ProblemCase{
            "OutOfMemory",
            Outcome(Status::Failed, {{FailureKind::OutOfMemory,
                                      "not enough memory for a header line of 300000000 bytes"}}),
            {"rowvane-cli: in/a.csv: not enough memory for a header line of 300000000 bytes"}},
        ProblemCase{"NameWithoutDot",
                    Outcome(Status::Converted, {{FailureKind::Name, "no dot"}}, "out/a.xml"),
                    {"rowvane-cli: in/a.csv: the name has no dot; output named out/a.xml"}},
        ProblemCase{"NameThenWrite",
                    Outcome(Status::Failed,
                            {{FailureKind::Name, ""}, {FailureKind::Write, "Is a directory"}}),
                    {"rowvane-cli: in/a.csv: the name has no dot; output named out/a.xml",
                     "rowvane-cli: in/a.csv: cannot write out/a.xml: Is a directory"}},
        ProblemCase{"FailedWithoutReason",
                    Outcome(Status::Failed),
                    {"rowvane-cli: in/a.csv: not converted"}},
        ProblemCase{"Utf8Replaced",
                    [] {
                      FileOutcome outcome = Outcome(Status::Converted);
                      outcome.warnings.utf8Replacements = 3;
                      return outcome;
                    }(),
                    {"rowvane-cli: in/a.csv: warning: 3 ill-formed UTF-8 sequences written as "
                     "U+FFFD"}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(ExitStatusOfTest, OnlyCleanConversionsSucceed) {
  EXPECT_EQ(ExitStatusOf({}), ExitStatus::AllConverted);
  EXPECT_EQ(ExitStatusOf({Outcome(Status::Converted), Outcome(Status::Converted)}),
            ExitStatus::AllConverted);
  EXPECT_EQ(ExitStatusOf({Outcome(Status::Converted), Outcome(Status::Missing)}),
            ExitStatus::SomeFailed);
  EXPECT_EQ(ExitStatusOf({Outcome(Status::Failed, {{FailureKind::Write, "x"}})}),
            ExitStatus::SomeFailed);
  EXPECT_EQ(ExitStatusOf({Outcome(Status::Converted, {{FailureKind::Name, ""}})}),
            ExitStatus::SomeFailed);
  FileOutcome repaired = Outcome(Status::Converted);
  repaired.warnings.utf8Replacements = 1;  // a warning, not a failure
  EXPECT_EQ(ExitStatusOf({repaired}), ExitStatus::AllConverted);
}

class BatchReporterTest : public ::testing::Test {
 protected:
  std::vector<std::string> m_inputs{"a.csv", "b.csv", "c.csv", "d.csv"};
  std::ostringstream m_errors;
};

FileOutcome WrittenButNotFlushed() {
  FileOutcome outcome = Outcome(Status::Converted);
  outcome.notes.push_back(std::string(kFolderNotFlushedNote) + "Input/output error");
  return outcome;
}

TEST(FolderNotFlushed, IsToldAndKeepsTheBatchFromSucceeding) {
  EXPECT_EQ(
      DescribeProblems("in/a.csv", WrittenButNotFlushed()),
      std::vector<std::string>{"rowvane-cli: in/a.csv: written to out/a.xml, but the output "
                               "folder could not be flushed to the disk: Input/output error"});
  EXPECT_EQ(ExitStatusOf({Outcome(Status::Converted), WrittenButNotFlushed()}),
            ExitStatus::SomeFailed);
  std::ostringstream errors;
  const std::vector<std::string> inputs = {"a.csv"};
  BatchReporter reporter(inputs, errors, nullptr);
  reporter.onFolderNotFlushed("out", "Input/output error");
  EXPECT_EQ(errors.str(),
            "rowvane-cli: out: the outputs are written, but the output folder could not be "
            "flushed to the disk: Input/output error\n");
}

TEST_F(BatchReporterTest, ProblemsComeInInputOrderWhateverOrderFilesFinish) {
  BatchReporter reporter(m_inputs, m_errors, nullptr);
  reporter.onFileFinished(3, Outcome(Status::Missing));
  reporter.onFileFinished(1, Outcome(Status::Missing));
  EXPECT_EQ(m_errors.str(), "");  // a.csv is still running
  reporter.onFileFinished(0, Outcome(Status::Converted));
  EXPECT_EQ(m_errors.str(), "rowvane-cli: b.csv: input file not found\n");
  reporter.onFileFinished(2, Outcome(Status::Failed, {{FailureKind::Read, "boom"}}));
  EXPECT_EQ(m_errors.str(),
            "rowvane-cli: b.csv: input file not found\n"
            "rowvane-cli: c.csv: cannot read the input: boom\n"
            "rowvane-cli: d.csv: input file not found\n");
}

TEST_F(BatchReporterTest, RepeatedOrUnknownIndexIsIgnored) {
  BatchReporter reporter(m_inputs, m_errors, nullptr);
  reporter.onFileFinished(0, Outcome(Status::Missing));
  reporter.onFileFinished(0, Outcome(Status::Missing));
  reporter.onFileFinished(9, Outcome(Status::Missing));
  EXPECT_EQ(m_errors.str(), "rowvane-cli: a.csv: input file not found\n");
}

TEST_F(BatchReporterTest, ProgressLineIsClearedBeforeAProblemAndRedrawnAfter) {
  const auto now = std::chrono::steady_clock::time_point{};
  ProgressDisplay progress(
      m_errors, [now] { return now; }, m_inputs.size(), 0);
  BatchReporter reporter(m_inputs, m_errors, &progress);
  reporter.onBytesProcessed(12);
  EXPECT_EQ(m_errors.str(), "\r0/4 files  12 B");
  m_errors.str("");
  reporter.onFileFinished(0, Outcome(Status::Missing));
  // Blank the 15-character line, write the problem, then draw the line again.
  EXPECT_EQ(m_errors.str(), "\r" + std::string(15, ' ') + "\r" +
                                "rowvane-cli: a.csv: input file not found\n" +
                                "\r0/4 files, 1 failed  12 B");
  m_errors.str("");
  reporter.finish();
  EXPECT_EQ(m_errors.str(), "\r" + std::string(25, ' ') + "\r");
}

TEST_F(BatchReporterTest, AsTheyHappenWritesEachProblemWhenItsInputFinishes) {
  BatchReporter reporter(m_inputs, m_errors, nullptr, ReportOrder::AsTheyHappen);
  reporter.onFileFinished(3, Outcome(Status::Missing));
  EXPECT_EQ(m_errors.str(), "rowvane-cli: d.csv: input file not found\n");
  reporter.onFileFinished(1, Outcome(Status::Failed, {{FailureKind::Read, "boom"}}));
  EXPECT_EQ(m_errors.str(),
            "rowvane-cli: d.csv: input file not found\n"
            "rowvane-cli: b.csv: cannot read the input: boom\n");
}

}  // namespace
}  // namespace rowvane::cli
