#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/OutputFolder.h"
#include "cli/ReportingObserver.h"
#include "cli/RunReport.h"
#include "tests/support/TempDir.h"

namespace rowvane::cli {
namespace {

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

// A batch that ends early leaves every input it did not finish reported as
// stopped, and the totals count each status once.
TEST(RunReport, InputsNotFinishedWhenTheBatchEndsAreStopped) {
  std::ostringstream out;
  RunReport report(out);
  const std::vector<BatchFile> files = {
      {"a.csv", {"o/a.xml"}}, {"b.csv", {"o/b.xml"}}, {"c.csv", {"o/c.xml"}}};
  BatchObserver lines;
  ReportingObserver observer(lines, report, files, [] { return std::chrono::steady_clock::now(); });
  FileOutcome converted;
  converted.status = FileOutcome::Status::Converted;
  converted.records = 7;
  observer.onFileStarted(1);
  observer.onFileFinished(1, converted);
  observer.stopRemaining("no thread");
  report.totals(0.5);
  const std::vector<std::string> written = LinesOf(out.str());
  ASSERT_EQ(written.size(), 4U) << out.str();
  EXPECT_NE(written[0].find(R"("input":"b.csv","output":"o/b.xml","status":"converted")"),
            std::string::npos);
  EXPECT_NE(written[1].find(R"("input":"a.csv","output":"o/a.xml","status":"stopped")"),
            std::string::npos);
  EXPECT_NE(written[2].find(R"("status":"stopped","reason":"no thread")"), std::string::npos);
  EXPECT_NE(written[3].find(R"("files":3,"converted":1,"failed":0,"skipped":0,"stopped":2)"),
            std::string::npos);
  EXPECT_NE(written[3].find(R"("records":7)"), std::string::npos);
}

// The report names the error a failure came from by its number, never by its
// text: an engine message that reads like the system's names none.
TEST(RunReport, NamesTheErrorAFailureCameFrom) {
  struct Row {
    Failure failure;
    std::string errorName;
  };
  const Row rows[] = {
      {{FailureKind::Write, "No space left on device", ENOSPC}, R"("ENOSPC")"},
      {{FailureKind::Read, "Is a directory", EISDIR}, R"("EISDIR")"},
      {{FailureKind::Write, "Permission denied", 0}, "null"},
      {{FailureKind::Read, "not a regular file", 0}, "null"},
      {{FailureKind::Write, "made up", 100000}, "null"},
  };
  for (const Row& row : rows) {
    std::ostringstream out;
    RunReport report(out);
    FileOutcome failed;
    failed.failures.push_back(row.failure);
    report.finished("a.csv", "o/a.xml", failed, 0);
    EXPECT_NE(out.str().find(R"("errno":)" + row.errorName + ","), std::string::npos) << out.str();
  }
}

// A file standing where a folder of the path should be is not "missing":
// -p could not make the folder, so the system's reason is given.
TEST(OutputFolderProblem, TellsAFileInThePathFromAMissingFolder) {
  const testing::TempDir folder;
  const std::string aFile = folder.write("a-file", "");
  struct Row {
    std::string path;
    std::optional<FolderProblem> expected;
  };
  const Row rows[] = {
      {folder.path().string(), std::nullopt},
      {folder / "missing", FolderProblem{"no such folder (-p creates it)", true}},
      {aFile, FolderProblem{"not a folder", false}},
      {aFile + "/below", FolderProblem{std::strerror(ENOTDIR), false}},
      {"", FolderProblem{"the output folder's name is empty", false}},
  };
  for (const Row& row : rows) {
    const std::optional<FolderProblem> problem = OutputFolderProblem(row.path);
    ASSERT_EQ(problem.has_value(), row.expected.has_value()) << row.path;
    if (problem) {
      EXPECT_EQ(problem->reason, row.expected->reason) << row.path;
      EXPECT_EQ(problem->missing, row.expected->missing) << row.path;
    }
  }
}

}  // namespace
}  // namespace rowvane::cli
