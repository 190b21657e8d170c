// The conversion log and the button counting a run's problems, through the
// real window offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include "app/handlers/ConversionLog.h"
#include "tests/app/WindowHarness.h"

namespace rowvane::app {
namespace {

using testing::Controls;
using testing::Found;
using testing::WindowHarness;

class ConversionLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Controls(*window).Text1.setText(harness.outFolder());
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }

  // Lists and converts `files` (a name ending in "/" is a folder: unreadable).
  void run(const std::vector<std::pair<QString, QByteArray>>& files) {
    Controls(*window).ListView1.listItems().Clear();
    for (const auto& [name, bytes] : files) {
      const QString path = harness.path(QStringLiteral("in/") + name);
      if (name.endsWith(QLatin1Char('/'))) {
        QDir().mkpath(path);
      } else {
        harness.writeFile(QStringLiteral("in/") + name, bytes);
      }
      Controls(*window).ListView1.listItems().Add(QDir::cleanPath(path));
    }
    Controls(*window).PushButton7.click();
  }

  QStringList row(int number, std::initializer_list<ConversionLog::Column> columns) const {
    const auto& log = FormOf(*window).conversionLog();
    QStringList texts;
    for (const ConversionLog::Column column : columns) {
      texts << log.index(number, column).data().toString();
    }
    return texts;
  }

  static Form1& FormOf(const QWidget& w) { return testing::FormOf(w); }

  WindowHarness harness;
  std::unique_ptr<MainWindow> window = harness.start();
};

// Two runs: the newest first, each in its own order; Ctrl+L opens the log,
// a double-click or Enter on a converted file views its output, the button opens its
// folder.
TEST_F(ConversionLogTest, RowsOfARunWithOneFailureAndOneWarning) {
  run({{"ok.csv", "id\r\n1\r\n2"}, {"lf.csv", "id\n1\n2"}, {"dir.csv/", {}}});
  run({{"again.csv", "id\r\n3"}});
  using C = ConversionLog;
  const QString out = harness.outFolder() + QLatin1Char('/');
  // File names, their folders in the tooltips; a short result, its reason in
  // the tooltip and the details.
  const QStringList expected[] = {
      {"again.csv", "again.xml", "converted", "1", ""},
      {"ok.csv", "ok.xml", "converted", "2", ""},
      {"lf.csv", "lf.xml", "converted", "0",
       "This file ends its lines with LF only: in Classic CSV it is one line. Choose Standard CSV "
       "in the Format menu."},
      {"dir.csv", "dir.xml", "failed", "", ""},
  };
  const auto& model = FormOf(*window).conversionLog();
  ASSERT_EQ(model.rowCount(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(row(i, {C::Input, C::Output, C::Result, C::Records, C::Warnings}), expected[i]) << i;
    EXPECT_EQ(model.index(i, C::Input).data(Qt::ToolTipRole).toString(),
              QStringLiteral("In ") + harness.path(QStringLiteral("in")));
    EXPECT_EQ(model.index(i, C::Output).data(Qt::ToolTipRole).toString(),
              QStringLiteral("In ") + harness.outFolder());
  }
  const QString reason = model.index(3, C::Result).data(Qt::ToolTipRole).toString();
  EXPECT_TRUE(reason.startsWith(QStringLiteral("cannot read the input: "))) << reason.toStdString();
  EXPECT_TRUE(model.details(3).contains(reason));
  EXPECT_TRUE(model.details(0).contains(QStringLiteral("Written to ") + out + "again.xml"));
  EXPECT_EQ(row(1, {C::Size}),
            QStringList{QLocale().formattedDataSize(QFileInfo(out + "ok.xml").size())});

  QTest::keyClick(window.get(), Qt::Key_L, Qt::ControlModifier);
  auto& log = Found<QWidget>(*window, "ConversionLogWindow");
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&log));
  EXPECT_EQ(log.windowTitle(), QStringLiteral("Conversion Log"));
  auto& table = Found<QTableView>(log, "LogTable");
  for (const bool byKey : {false, true}) {  // a double-click, or Enter on the selected row
    harness.fileViewer.viewed.clear();
    for (int clicked = 0; clicked < 4; ++clicked) {
      const QPoint cell = table.visualRect(table.model()->index(clicked, 0)).center();
      QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, cell);
      if (byKey) {
        QTest::keyClick(&table, Qt::Key_Return);
      } else {
        QTest::mouseDClick(table.viewport(), Qt::LeftButton, {}, cell);
      }
    }
    // Failed: nothing to view.
    EXPECT_EQ(harness.fileViewer.viewed,
              (std::vector<QString>{out + "again.xml", out + "ok.xml", out + "lf.xml"}))
        << (byKey ? "Enter" : "double-click");
  }
  Found<QPushButton>(log, "OpenFolderButton").click();
  EXPECT_EQ(harness.folderOpener.opened, std::vector<QString>{harness.outFolder()});
}

struct ProblemsCase {
  std::vector<std::pair<QString, QByteArray>> files;
  const char* words;  // empty: hidden
};

class ProblemsButtonTest : public ConversionLogTest,
                           public ::testing::WithParamInterface<ProblemsCase> {};

// Beside the format's button after each run; a click opens the log.
TEST_P(ProblemsButtonTest, CountsTheLastRunsFailuresAndWarnings) {
  run({{"first.csv/", {}}});
  run(GetParam().files);
  auto& button = Found<QToolButton>(*window, "RunProblemsButton");
  const QString words = QString::fromUtf8(GetParam().words);
  EXPECT_EQ(button.isVisible() ? button.text() : QString(), words);
  if (!words.isEmpty()) {
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_TRUE(Found<QWidget>(*window, "ConversionLogWindow").isVisible());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ProblemsButtonTest,
    ::testing::Values(ProblemsCase{{{"a.csv", "id\r\n1"}}, ""},
                      ProblemsCase{{{"a.csv", "id\n1"}}, "1 warning"},
                      ProblemsCase{{{"a/", {}}}, "1 failure"},
                      ProblemsCase{{{"a.csv", "id\n1"}, {"b/", {}}, {"c/", {}}, {"d.csv", "id\n2"}},
                                   "2 failures, 2 warnings"}));

}  // namespace
}  // namespace rowvane::app
