#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/ReportingObserver.h"
#include "cli/RunReport.h"

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

}  // namespace
}  // namespace rowvane::cli
