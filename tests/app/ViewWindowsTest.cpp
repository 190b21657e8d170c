// The windows of the View menu: where they open, their keys, and what the
// conversion log and the samples button say when the desktop cannot open
// something; through the real windows offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QRandomGenerator>
#include <QScreen>
#include <QTableView>
#include <QTest>

#include "app/controls/ScreenPlacement.h"
#include "tests/app/WindowHarness.h"

namespace rowvane::app {
namespace {

using testing::Controls;
using testing::Found;
using testing::WindowHarness;

// Over many screens, main windows and sizes: wholly on the screen, as large
// as asked where the screen allows, to the right when there is room, else to
// the left when there is room there, else narrowed beside it when that leaves
// enough, level with the main window if it can be.
TEST(PlaceBeside, StaysOnTheScreenBesideTheMainWindowWhereThereIsRoom) {
  QRandomGenerator random(20261208);
  for (int round = 0; round < 5000; ++round) {
    const QRect screen(random.bounded(-2000, 2000), random.bounded(-500, 500),
                       random.bounded(300, 3000), random.bounded(300, 2000));
    const QRect main(screen.left() + random.bounded(-300, screen.width()),
                     screen.top() + random.bounded(-100, screen.height()), random.bounded(100, 900),
                     random.bounded(100, 900));
    const QSize size(random.bounded(50, 2500), random.bounded(50, 2500));
    const int minimumWidth = random.bounded(50, 800);
    const QRect placed = PlaceBeside(main, size, screen, minimumWidth);
    SCOPED_TRACE(::testing::Message() << "round " << round);
    ASSERT_TRUE(screen.contains(placed));
    const QSize wanted = size.boundedTo(screen.size());
    ASSERT_EQ(placed.height(), wanted.height());
    // The rooms beside the main window, on the screen.
    const int rightOfMain = std::max(main.right() + 1 + 8, screen.left());
    const int rightRoom = screen.right() + 1 - rightOfMain;
    const int leftRoom = main.left() - 8 - screen.left();
    if (wanted.width() <= rightRoom) {
      ASSERT_EQ(placed.left(), rightOfMain);
      ASSERT_EQ(placed.width(), wanted.width());
    } else if (wanted.width() <= leftRoom) {
      ASSERT_EQ(placed.right(), main.left() - 8 - 1);
      ASSERT_EQ(placed.width(), wanted.width());
    } else if (std::max(rightRoom, leftRoom) >= minimumWidth) {
      ASSERT_EQ(placed.width(), std::max(rightRoom, leftRoom));
      ASSERT_FALSE(placed.intersects(main.adjusted(-7, 0, 7, 0)));
    } else {
      ASSERT_EQ(placed.width(), wanted.width());
    }
    if (main.top() >= screen.top() && main.top() + placed.height() <= screen.bottom() + 1) {
      ASSERT_EQ(placed.top(), main.top());
    }
  }
}

TEST(LocalFileUrl, NamesTheFileWithOneSeparatorBetweenParts) {
  EXPECT_EQ(LocalFileUrl(QStringLiteral("/home/ann/out//a b.xml")).toString(QUrl::FullyEncoded),
            QStringLiteral("file:///home/ann/out/a%20b.xml"));
  EXPECT_EQ(LocalFileUrl(QStringLiteral("/program/Samples/")).toString(QUrl::FullyEncoded),
            QStringLiteral("file:///program/Samples/"));
}

class ViewWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Controls(*window).Text1.setText(harness.outFolder());
    window->show();
    activate(*window);
  }

  static void activate(QWidget& shown) {
    QApplication::setActiveWindow(&shown);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&shown));
  }

  // Converts a good file and an unreadable one (a folder); the log's rows
  // are then the good file's (0) and the folder's (1).
  void runOneGoodOneFailed() {
    harness.writeFile(QStringLiteral("in/good.csv"), "id\r\n1\r\n");
    QDir().mkpath(harness.path(QStringLiteral("in/bad.csv")));
    Controls(*window).ListView1.listItems().Add(harness.path(QStringLiteral("in/good.csv")));
    Controls(*window).ListView1.listItems().Add(harness.path(QStringLiteral("in/bad.csv")));
    Controls(*window).PushButton7.click();
    harness.boxes.shown.clear();
  }

  QWidget& logWindow() { return Found<QWidget>(*window, "ConversionLogWindow"); }
  QWidget& previewWindow() { return Found<QWidget>(*window, "PreviewWindow"); }

  WindowHarness harness;
  std::unique_ptr<MainWindow> window = harness.start();
};

TEST_F(ViewWindowsTest, OpenWhollyOnTheScreenAndAnswerEscF5AndCtrlL) {
  const QRect screen = window->screen()->availableGeometry();
  QTest::keyClick(window.get(), Qt::Key_F5);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&previewWindow()));
  EXPECT_TRUE(screen.contains(previewWindow().frameGeometry()));
  activate(previewWindow());
  QTest::keyClick(&previewWindow(), Qt::Key_L, Qt::ControlModifier);  // from the preview
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&logWindow()));
  EXPECT_TRUE(screen.contains(logWindow().frameGeometry()));
  activate(previewWindow());
  QTest::keyClick(&previewWindow(), Qt::Key_Escape);
  EXPECT_FALSE(previewWindow().isVisible());
  activate(logWindow());
  QTest::keyClick(&logWindow(), Qt::Key_F5);  // from the log
  EXPECT_TRUE(QTest::qWaitForWindowExposed(&previewWindow()));
  activate(logWindow());
  QTest::keyClick(&logWindow(), Qt::Key_Escape);
  EXPECT_FALSE(logWindow().isVisible());
}

struct OpeningCase {
  const char* label;
  bool desktopOpens;
  int row;           ///< the log's row Enter is pressed on; -1: the folder button
  const char* told;  ///< the start of the one box, with %1 the harness's root; empty: none
};

void PrintTo(const OpeningCase& row, std::ostream* out) {
  *out << row.label;
}

class LogOpeningTest : public ViewWindowsTest, public ::testing::WithParamInterface<OpeningCase> {};

TEST_P(LogOpeningTest, SaysWhyNothingOpened) {
  const OpeningCase& row = GetParam();
  runOneGoodOneFailed();
  harness.fileViewer.opens = row.desktopOpens;
  harness.folderOpener.opens = row.desktopOpens;
  QTest::keyClick(window.get(), Qt::Key_L, Qt::ControlModifier);
  auto& table = Found<QTableView>(logWindow(), "LogTable");
  if (row.row >= 0) {
    table.selectRow(row.row);
    QTest::keyClick(&table, Qt::Key_Return);
  } else {
    Found<QPushButton>(logWindow(), "OpenFolderButton").click();
  }
  QString told = QString::fromUtf8(row.told);
  if (!told.isEmpty()) {
    told = told.arg(QFileInfo(harness.outFolder()).path());
  }
  ASSERT_EQ(harness.boxes.shown.size(), told.isEmpty() ? 0u : 1u);
  if (!told.isEmpty()) {
    EXPECT_TRUE(harness.boxes.shown[0].text.startsWith(told))
        << harness.boxes.shown[0].text.toStdString();
    EXPECT_EQ(harness.boxes.shown[0].title, QStringLiteral("Rowvane"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Gestures, LogOpeningTest,
    ::testing::Values(
        OpeningCase{"OutputOpens", true, 0, ""},
        OpeningCase{"NoViewer", false, 0,
                    "%1/out/good.xml cannot be opened: no program is set up to open it."},
        OpeningCase{"FailedRow", true, 1,
                    "%1/in/bad.csv has no output to open: it was not converted (cannot read the "
                    "input: "},
        OpeningCase{"FolderOpens", true, -1, ""},
        OpeningCase{"NoFileBrowser", false, -1,
                    "%1/out cannot be opened: no program is set up to open it."}),
    [](const auto& row) { return std::string(row.param.label); });

TEST_F(ViewWindowsTest, SamplesFolderThatCannotBeOpenedIsTold) {
  harness.boxes.answerYes = true;
  for (const bool opens : {true, false}) {
    harness.boxes.shown.clear();
    harness.folderOpener.opens = opens;
    Controls(*window).PushButton5.click();
    ASSERT_EQ(harness.boxes.shown.size(), opens ? 1u : 2u);  // the question, then what failed
    if (!opens) {
      EXPECT_EQ(harness.boxes.shown[1].text,
                QStringLiteral("The folder %1/Samples cannot be opened: no program is set up to "
                               "open it.")
                    .arg(harness.programFolder()));
    }
  }
}

}  // namespace
}  // namespace rowvane::app
