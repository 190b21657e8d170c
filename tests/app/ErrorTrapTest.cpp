#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "app/handlers/ApplicationErrorReport.h"
#include "app/handlers/ErrorTrap.h"
#include "tests/app/WindowHarness.h"

namespace rowvane::app {
namespace {

using testing::RecordingMessageBoxes;

QString Location() {
  return QStringLiteral("in Rowvane2017/04/05.Form1.PushButton1_Click ");
}

QString ReportFor(int line, const QString& description) {
  return ApplicationErrorText(Location(), line, description);
}

TEST(ApplicationErrorText, JoinsDescriptionLocationLineAndClosingSentence) {
  EXPECT_EQ(ApplicationErrorText(Location(), 106, QStringLiteral("Path not found")),
            QStringLiteral("Path not found\r\n"
                           "in Rowvane2017/04/05.Form1.PushButton1_Click at line 106\r\r"
                           "Please email screenshot of this message to support@quorvel.example"));
}

TEST(ApplicationErrorText, EmptyDescriptionStartsWithTheLineBreak) {
  EXPECT_TRUE(ApplicationErrorText(Location(), 100, QString())
                  .startsWith(QStringLiteral("\r\nin Rowvane2017")));
}

class ErrorTrapTest : public ::testing::Test {
 protected:
  RecordingMessageBoxes boxes;
  ApplicationErrorReport report{boxes, nullptr};
};

void FailDeepDown() {
  throw std::runtime_error("disk on fire");
}
void CallSomethingThatFails() {
  FailDeepDown();
}

TEST_F(ErrorTrapTest, ReportIsAWarningTitledApplicationError) {
  ErrorTrap trap(report, Location());
  trap.step(100, [] { throw std::runtime_error("boom"); });
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Application Error"));
  EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Warning);
  EXPECT_EQ(boxes.shown[0].text, ReportFor(100, QStringLiteral("boom")));
}

TEST_F(ErrorTrapTest, TwoFailuresGiveTwoReportsAndTheHandlerGoesOn) {
  ErrorTrap trap(report, Location());
  std::vector<int> ran;
  trap.step(100, [&] { ran.push_back(100); });
  trap.step(102, [] { throw std::runtime_error("first"); });
  trap.step(104, [&] { ran.push_back(104); });
  trap.step(106, [] { throw std::runtime_error("second"); });
  trap.step(108, [&] { ran.push_back(108); });

  EXPECT_EQ(ran, (std::vector<int>{100, 104, 108}));
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[0].text, ReportFor(102, QStringLiteral("first")));
  EXPECT_EQ(boxes.shown[1].text, ReportFor(106, QStringLiteral("second")));
}

TEST_F(ErrorTrapTest, FailureInsideACalledProcedureNamesTheCallingLine) {
  ErrorTrap trap(report, Location());
  trap.step(128, [] {});
  trap.step(130, [] { CallSomethingThatFails(); });
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, ReportFor(130, QStringLiteral("disk on fire")));
}

TEST_F(ErrorTrapTest, FailedTestRunsTheBranchItGuardsAndNotTheOther) {
  ErrorTrap trap(report, Location());
  bool branch = false;
  bool alternative = false;
  if (trap.test(104, []() -> bool { throw std::runtime_error("bad test"); })) {
    branch = true;
  } else {
    alternative = true;
  }
  EXPECT_TRUE(branch);
  EXPECT_FALSE(alternative);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, ReportFor(104, QStringLiteral("bad test")));
}

TEST_F(ErrorTrapTest, AFailedStatementLeavesItsVariableAsItWas) {
  ErrorTrap trap(report, Location());
  QString path = QStringLiteral("before");
  const bool done = trap.step(
      100, [&] { path = []() -> QString { throw std::runtime_error("dialog failed"); }(); });
  EXPECT_FALSE(done);
  EXPECT_EQ(path, QStringLiteral("before"));
}

TEST_F(ErrorTrapTest, FailureReportedAsAResultGoesOnLikeAThrownOne) {
  ErrorTrap trap(report, Location());
  trap.failedAt(254, QStringLiteral("no dot"));
  EXPECT_TRUE(trap.step(256, [] {}));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, ReportFor(254, QStringLiteral("no dot")));
}

TEST_F(ErrorTrapTest, FailureOfUnknownKindIsStillReported) {
  ErrorTrap trap(report, Location());
  trap.step(100, [] { throw 42; });
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("at line 100")));
}

TEST_F(ErrorTrapTest, LeavingSkipsEveryLaterStepWithoutReport) {
  ErrorTrap trap(report, Location());
  bool later = false;
  trap.step(128, [&] { trap.leave(); });
  trap.step(130, [&] { later = true; });
  trap.failedAt(256, QStringLiteral("not shown"));
  EXPECT_FALSE(later);
  EXPECT_FALSE(trap.active());
  EXPECT_TRUE(boxes.shown.empty());
}

// The file dialog's "selection too large" error must reach its own message,
// not the report; the handler is then left. Other numbers are reported.
class FirstLookTest : public ErrorTrapTest {
 protected:
  std::vector<int> seen;
  ErrorTrap::FirstLook tooManyFiles = [this](const TrappedError& error) {
    seen.push_back(error.number);
    return error.number == 20476 ? ErrorTrap::Verdict::LeaveHandler : ErrorTrap::Verdict::Report;
  };
};

TEST_F(FirstLookTest, Number20476LeavesTheHandlerWithoutReport) {
  ErrorTrap trap(report, Location(), tooManyFiles);
  bool later = false;
  trap.step(100, [] { throw NumberedError(20476, "buffer too small"); });
  trap.step(102, [&] { later = true; });
  EXPECT_EQ(seen, std::vector<int>{20476});
  EXPECT_FALSE(later);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(FirstLookTest, OtherNumbersAreReportedAndTheHandlerGoesOn) {
  ErrorTrap trap(report, Location(), tooManyFiles);
  bool later = false;
  trap.step(100, [] { throw NumberedError(32755, "cancelled"); });
  trap.step(102, [] { throw std::runtime_error("plain"); });
  trap.step(104, [&] { later = true; });
  EXPECT_EQ(seen, (std::vector<int>{32755, 0}));
  EXPECT_TRUE(later);
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[0].text, ReportFor(100, QStringLiteral("cancelled")));
}

}  // namespace
}  // namespace rowvane::app
