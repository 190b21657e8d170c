#include <gtest/gtest.h>

#include "app/handlers/ApplicationErrorReport.h"
#include "tests/app/WindowHarness.h"

namespace rowvane::app {
namespace {

using testing::Controls;
using testing::WindowHarness;

struct ChoiceCase {
  const char* chosen;
  const char* shown;
};

class OutputFolderChoiceTest : public ::testing::TestWithParam<ChoiceCase> {
 protected:
  WindowHarness harness;
  std::unique_ptr<MainWindow> form = harness.start();
};

TEST_P(OutputFolderChoiceTest, ChosenFolderGoesIntoTheBoxAndTheStore) {
  Controls(*form).Text1.setText(QStringLiteral("/before/"));
  harness.folderDialog.answer = QString::fromUtf8(GetParam().chosen);
  Controls(*form).PushButton1.click();
  const QString shown = QString::fromUtf8(GetParam().shown);
  EXPECT_EQ(Controls(*form).Text1.text(), shown);
  EXPECT_EQ(harness.store().value(QStringLiteral("Text1")).toString(), shown);
  EXPECT_EQ(harness.folderDialog.prompts, std::vector<QString>{"Please select folder:"});
  EXPECT_TRUE(harness.boxes.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Choices, OutputFolderChoiceTest,
                         ::testing::Values(ChoiceCase{"/data/out", "/data/out/"},
                                           ChoiceCase{"/", "/"},
                                           ChoiceCase{"/data/with space", "/data/with space/"},
                                           // Cancelled: the box keeps its text.
                                           ChoiceCase{"", "/before/"}));

TEST(OutputFolderTest, FailingDialogIsReportedAndLeavesTheBoxAlone) {
  WindowHarness harness;
  auto form = harness.start();
  Controls(*form).Text1.setText(QStringLiteral("/before/"));
  harness.folderDialog.fails = true;
  Controls(*form).PushButton1.click();
  ASSERT_EQ(harness.boxes.shown.size(), 1u);
  EXPECT_EQ(harness.boxes.shown[0].text,
            ApplicationErrorText(QStringLiteral("in Rowvane2017/04/05.Form1.PushButton1_Click "),
                                 100, QStringLiteral("The folder dialog could not be shown.")));
  EXPECT_EQ(Controls(*form).Text1.text(), QStringLiteral("/before/"));
}

}  // namespace
}  // namespace rowvane::app
