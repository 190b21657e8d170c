#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QApplication>
#include <QFile>
#include <QTest>
#include <QTimer>

#include "app/handlers/ApplicationErrorReport.h"
#include "tests/app/WindowHarness.h"

namespace rowvane::app {
namespace {

using testing::Controls;
using testing::FormOf;
using testing::ShownMessage;
using testing::WindowHarness;

// Texts the run is checked against; functions rather than global objects.
QString RunLocation() {
  return QStringLiteral("in Rowvane2017/04/05.Form1.PushButton7_Click ");
}
constexpr char kStaffCsv[] = "id,name\r\n7,Ann\r\n8,Bob";
constexpr char kStaffXml[] =
    "<XML>\r\n <row>\r\n  <id>7</id>\r\n  <name>Ann</name>\r\n </row>\r\n <row>\r\n  <id>8</id>\r\n"
    "  <name>Bob</name>\r\n </row>\r\n</XML>";
QString NoDotMessage() {
  return QStringLiteral("The file name has no dot; the output is named with \".xml\" added");
}

class ConversionRunTest : public ::testing::Test {
 protected:
  void SetUp() override { Controls(*form).Text1.setText(harness.outFolder()); }

  // Lists `relative` (below the harness root) and returns its full path.
  QString list(const QString& relative) {
    const QString path = harness.path(relative);
    Controls(*form).ListView1.listItems().Add(path);
    return path;
  }

  void startConverting() { Controls(*form).PushButton7.click(); }

  std::vector<QString> texts() const {
    std::vector<QString> result;
    for (const ShownMessage& message : harness.boxes.shown) {
      result.push_back(message.text);
    }
    return result;
  }

  static QString report(int line, const QString& description) {
    return ApplicationErrorText(RunLocation(), line, description);
  }

  QStringList outFolderEntries() const {
    return QDir(harness.outFolder())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  }

  WindowHarness harness;
  std::unique_ptr<MainWindow> form = harness.start();
};

TEST_F(ConversionRunTest, WorkedExampleIsWrittenByteForByteAndTheWindowIsAtRestAfter) {
  harness.writeFile(QStringLiteral("in/staff.csv"), kStaffCsv);
  list(QStringLiteral("in/staff.csv"));
  startConverting();

  EXPECT_EQ(harness.readFile(QStringLiteral("out/staff.xml")), std::string(kStaffXml));
  ASSERT_EQ(harness.boxes.shown.size(), 1u);
  EXPECT_EQ(harness.boxes.shown[0].text, QStringLiteral("Done."));
  EXPECT_EQ(harness.boxes.shown[0].title, QStringLiteral("Rowvane"));
  EXPECT_EQ(harness.boxes.shown[0].icon, MessageIcon::None);
  EXPECT_EQ(FormOf(*form).MousePointer(), 0);
  EXPECT_EQ(Controls(*form).ProgressBar1.percent(), 0.0);
  EXPECT_EQ(Controls(*form).ProgressBar1.text(), QStringLiteral("Progress Bar"));
  EXPECT_EQ(Controls(*form).ListView1.listItems().Count(), 1);  // converted entries stay
}

TEST_F(ConversionRunTest, OutputsLeftHalfWrittenByAKilledRunAreClearedAway) {
  harness.writeFile(QStringLiteral("in/staff.csv"), kStaffCsv);
  harness.writeFile(QStringLiteral("out/.rowvane-killedrun001.tmp"), "<XML>\r\n <ro");
  // Named like one, but listed as an input: never cleared away.
  harness.writeFile(QStringLiteral("out/.rowvane-listedinput1.tmp"), kStaffCsv);
  list(QStringLiteral("in/staff.csv"));
  list(QStringLiteral("out/.rowvane-listedinput1.tmp"));
  startConverting();

  EXPECT_EQ(harness.readFile(QStringLiteral("out/staff.xml")), std::string(kStaffXml));
  EXPECT_FALSE(QFile::exists(harness.path(QStringLiteral("out/.rowvane-killedrun001.tmp"))));
  EXPECT_EQ(harness.readFile(QStringLiteral("out/.rowvane-listedinput1.tmp")), kStaffCsv);
  EXPECT_EQ(harness.readFile(QStringLiteral("out/.rowvane-listedinput1.xml")),
            std::string(kStaffXml));
}

TEST_F(ConversionRunTest, OptionsOfTheWindowShapeTheOutput) {
  harness.writeFile(QStringLiteral("in/staff.csv"), kStaffCsv);
  list(QStringLiteral("in/staff.csv"));
  Controls(*form).Check1.setChecked(false);
  Controls(*form).Check2.setChecked(false);
  Controls(*form).Text5.setText(QStringLiteral("doc"));
  startConverting();
  EXPECT_EQ(harness.readFile(QStringLiteral("out/staff.xml")),
            "<doc>\r\n <header1>id</header1>\r\n <header2>name</header2>\r\n"
            " <header1>7</header1>\r\n <header2>Ann</header2>\r\n <header1>8</header1>\r\n"
            " <header2>Bob</header2>\r\n</doc>");
}

TEST_F(ConversionRunTest, TagsLongerThanALineEditsDefaultLimitAreWrittenWhole) {
  harness.writeFile(QStringLiteral("in/staff.csv"), kStaffCsv);
  list(QStringLiteral("in/staff.csv"));
  const QString rowTag(40000, QLatin1Char('r'));
  const QString documentTag(40000, QLatin1Char('d'));
  Controls(*form).Text4.setText(rowTag);
  Controls(*form).Text5.setText(documentTag);
  startConverting();
  const std::string written = harness.readFile(QStringLiteral("out/staff.xml"));
  EXPECT_TRUE(written.starts_with("<" + documentTag.toStdString() + ">\r\n <" +
                                  rowTag.toStdString() + ">\r\n"));
  EXPECT_TRUE(
      written.ends_with("</" + rowTag.toStdString() + ">\r\n</" + documentTag.toStdString() + ">"));
}

TEST_F(ConversionRunTest, EmptyListIsToldBeforeAMissingFolderAndChangesNothing) {
  Controls(*form).Text1.setText(harness.path(QStringLiteral("no-such-folder")));
  FormOf(*form).setMousePointer(99);
  Controls(*form).ProgressBar1.setPercent(40.0);
  startConverting();
  EXPECT_EQ(texts(), std::vector<QString>{"No files added."});
  EXPECT_EQ(harness.boxes.shown[0].title, QStringLiteral("Rowvane"));
  EXPECT_EQ(FormOf(*form).MousePointer(), 99);
  EXPECT_EQ(Controls(*form).ProgressBar1.percent(), 40.0);
}

class MissingOutputFolderTest : public ConversionRunTest,
                                public ::testing::WithParamInterface<const char*> {};

TEST_P(MissingOutputFolderTest, IsToldAndNothingIsWritten) {
  harness.writeFile(QStringLiteral("in/staff.csv"), kStaffCsv);
  harness.writeFile(QStringLiteral("plain-file"), "x");
  list(QStringLiteral("in/staff.csv"));
  const QString folder = QString::fromUtf8(GetParam());
  Controls(*form).Text1.setText(folder.isEmpty() ? folder : harness.path(folder));
  startConverting();
  EXPECT_EQ(texts(), std::vector<QString>{"Folder does not exist. Please select another folder."});
  EXPECT_EQ(FormOf(*form).MousePointer(), 0);
  EXPECT_EQ(Controls(*form).ProgressBar1.text(), QStringLiteral("Progress Bar"));
  EXPECT_TRUE(outFolderEntries().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Folders, MissingOutputFolderTest,
                         ::testing::Values("", "no-such-folder", "plain-file"));

TEST_F(ConversionRunTest, FolderWithTrailingSeparatorIsAccepted) {
  harness.writeFile(QStringLiteral("in/staff.csv"), kStaffCsv);
  list(QStringLiteral("in/staff.csv"));
  Controls(*form).Text1.setText(harness.outFolder() + QLatin1Char('/'));
  startConverting();
  EXPECT_EQ(harness.readFile(QStringLiteral("out/staff.xml")), std::string(kStaffXml));
  EXPECT_EQ(texts(), std::vector<QString>{"Done."});
}

TEST_F(ConversionRunTest, MissingFileIsSkippedWithoutAWord) {
  harness.writeFile(QStringLiteral("in/one.csv"), kStaffCsv);
  harness.writeFile(QStringLiteral("in/three.csv"), kStaffCsv);
  list(QStringLiteral("in/one.csv"));
  list(QStringLiteral("in/two.csv"));
  list(QStringLiteral("in/three.csv"));
  startConverting();
  EXPECT_EQ(outFolderEntries(), (QStringList{"one.xml", "three.xml"}));
  EXPECT_EQ(texts(), std::vector<QString>{"Done."});
}

TEST_F(ConversionRunTest, SameBaseNameKeepsTheConversionOfTheLowerEntry) {
  harness.writeFile(QStringLiteral("in/a/data.csv"), "v\r\nfirst");
  harness.writeFile(QStringLiteral("in/b/data.txt"), "v\r\nsecond");
  list(QStringLiteral("in/a/data.csv"));
  list(QStringLiteral("in/b/data.txt"));
  startConverting();
  EXPECT_EQ(outFolderEntries(), QStringList{"data.xml"});
  EXPECT_TRUE(harness.readFile(QStringLiteral("out/data.xml")).find("second") != std::string::npos);
}

TEST_F(ConversionRunTest, ReadOnlyOutputIsReportedAt256AndTheRunGoesOn) {
  harness.writeFile(QStringLiteral("in/staff.csv"), kStaffCsv);
  harness.writeFile(QStringLiteral("in/next.csv"), kStaffCsv);
  harness.writeFile(QStringLiteral("out/staff.xml"), "old");
  ASSERT_EQ(
      ::chmod(QFile::encodeName(harness.path(QStringLiteral("out/staff.xml"))).constData(), 0444),
      0);
  list(QStringLiteral("in/staff.csv"));
  list(QStringLiteral("in/next.csv"));
  startConverting();

  const std::vector<QString> shown = texts();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_FALSE(shown[0].startsWith(QStringLiteral("\r\n")));  // the platform's message leads
  EXPECT_TRUE(shown[0].contains(RunLocation() + QStringLiteral("at line 256\r\r")));
  EXPECT_EQ(harness.boxes.shown[0].title, QStringLiteral("Application Error"));
  EXPECT_EQ(shown[1], QStringLiteral("Done."));
  EXPECT_EQ(harness.readFile(QStringLiteral("out/staff.xml")), "old");
  EXPECT_EQ(harness.readFile(QStringLiteral("out/next.xml")), std::string(kStaffXml));
}

TEST_F(ConversionRunTest, NameWithoutDotIsReportedAt254AndStillWritten) {
  harness.writeFile(QStringLiteral("in/nodot"), kStaffCsv);
  list(QStringLiteral("in/nodot"));
  startConverting();
  EXPECT_EQ(texts(), (std::vector<QString>{report(254, NoDotMessage()), "Done."}));
  EXPECT_EQ(harness.readFile(QStringLiteral("out/nodot.xml")), std::string(kStaffXml));
}

TEST_F(ConversionRunTest, UnreadableFileIsReportedAt170AndSkippedWhole) {
  QDir().mkpath(harness.path(QStringLiteral("in/folder.csv")));
  list(QStringLiteral("in/folder.csv"));
  startConverting();
  const std::vector<QString> shown = texts();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_TRUE(shown[0].contains(RunLocation() + QStringLiteral("at line 170\r\r")));
  EXPECT_EQ(shown[1], QStringLiteral("Done."));
  EXPECT_TRUE(outFolderEntries().isEmpty());
}

// The report of a name without a dot pauses the run in the middle of its file:
// a window for looking at the run while it goes.
TEST_F(ConversionRunTest, WhileRunningTheWindowShowsTheFileAndRefusesRemovalsAndSecondRuns) {
  harness.writeFile(QStringLiteral("in/nodot"), kStaffCsv);
  harness.writeFile(QStringLiteral("in/staff.csv"), kStaffCsv);
  list(QStringLiteral("in/nodot"));
  list(QStringLiteral("in/staff.csv"));
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));

  QString barText;
  int pointer = -1;
  int pointerAfterHover = -1;
  int entriesAfterDelete = -1;
  std::size_t messagesAfterSecondPress = 0;
  harness.boxes.whileShown = [&](const ShownMessage& message) {
    if (!message.text.contains(QStringLiteral("at line 254"))) {
      return;
    }
    barText = Controls(*form).ProgressBar1.text();
    pointer = FormOf(*form).MousePointer();
    QTest::mouseMove(&Controls(*form).PushButton8, Controls(*form).PushButton8.rect().center());
    pointerAfterHover = FormOf(*form).MousePointer();
    Controls(*form).ListView1.setCurrentItem(Controls(*form).ListView1.topLevelItem(0));
    QTest::keyClick(&Controls(*form).ListView1, Qt::Key_Delete);
    entriesAfterDelete = Controls(*form).ListView1.listItems().Count();
    Controls(*form).PushButton7.click();
    messagesAfterSecondPress = harness.boxes.shown.size();
  };
  startConverting();

  EXPECT_EQ(barText, QStringLiteral("Processing: nodot"));
  EXPECT_EQ(pointer, 11);
  EXPECT_EQ(pointerAfterHover, 11);
  EXPECT_EQ(entriesAfterDelete, 2);
  EXPECT_EQ(messagesAfterSecondPress, 1u);
  EXPECT_EQ(texts(), (std::vector<QString>{report(254, NoDotMessage()), "Done."}));
  EXPECT_EQ(harness.readFile(QStringLiteral("out/staff.xml")), std::string(kStaffXml));

  // After the run the next movement over a button shows the hand again.
  QTest::mouseMove(&Controls(*form).PushButton4, Controls(*form).PushButton4.rect().center());
  EXPECT_EQ(FormOf(*form).MousePointer(), 99);
}

TEST_F(ConversionRunTest, ClearingTheListDuringARunReportsTheLostEntryOnceAndEnds) {
  harness.writeFile(QStringLiteral("in/nodot"), kStaffCsv);
  harness.writeFile(QStringLiteral("in/b.csv"), kStaffCsv);
  harness.writeFile(QStringLiteral("in/c.csv"), kStaffCsv);
  list(QStringLiteral("in/nodot"));
  list(QStringLiteral("in/b.csv"));
  list(QStringLiteral("in/c.csv"));
  harness.boxes.whileShown = [&](const ShownMessage& message) {
    if (message.text.contains(QStringLiteral("at line 254"))) {
      Controls(*form).PushButton4.click();
    }
  };
  startConverting();

  const std::vector<QString> shown = texts();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0], report(254, NoDotMessage()));
  EXPECT_EQ(shown[1], report(154, QStringLiteral("There is no list item at position 2.")));
  EXPECT_EQ(shown[2], QStringLiteral("Done."));
  EXPECT_EQ(outFolderEntries(), QStringList{"nodot.xml"});
  EXPECT_EQ(FormOf(*form).MousePointer(), 0);
}

TEST_F(ConversionRunTest, EntriesAddedDuringARunWaitAndProgressCountsTheGrownList) {
  harness.writeFile(QStringLiteral("in/nodot"), kStaffCsv);
  harness.writeFile(QStringLiteral("in/b.csv"), kStaffCsv);
  harness.writeFile(QStringLiteral("in/late.csv"), kStaffCsv);
  list(QStringLiteral("in/nodot"));
  list(QStringLiteral("in/b.csv"));
  std::vector<int> barValues;
  QObject::connect(&Controls(*form).ProgressBar1, &QProgressBar::valueChanged,
                   [&](int value) { barValues.push_back(value); });
  harness.boxes.whileShown = [&](const ShownMessage& message) {
    if (message.text.contains(QStringLiteral("at line 254"))) {
      list(QStringLiteral("in/late.csv"));
      list(QStringLiteral("in/late.csv"));
      barValues.clear();
    }
  };
  startConverting();

  EXPECT_EQ(outFolderEntries(), (QStringList{"b.xml", "nodot.xml"}));
  ASSERT_FALSE(barValues.empty());
  EXPECT_EQ(barValues.front(), 5000);  // second file of four listed: 50 %
}

TEST_F(ConversionRunTest, HeaderOptionIsTakenAnewForEachFile) {
  harness.writeFile(QStringLiteral("in/nodot"), kStaffCsv);
  harness.writeFile(QStringLiteral("in/staff.csv"), kStaffCsv);
  list(QStringLiteral("in/nodot"));
  list(QStringLiteral("in/staff.csv"));
  harness.boxes.whileShown = [&](const ShownMessage&) { Controls(*form).Check1.setChecked(false); };
  startConverting();
  EXPECT_EQ(harness.readFile(QStringLiteral("out/nodot.xml")), std::string(kStaffXml));
  EXPECT_TRUE(harness.readFile(QStringLiteral("out/staff.xml")).find("<header1>id</header1>") !=
              std::string::npos);
}

// A file long enough for the engine to pause many times within it.
QByteArray ManyRecords(int count) {
  QByteArray csv = "id,name";
  for (int record = 0; record < count; ++record) {
    csv += "\r\n" + QByteArray::number(record) + ",n";
  }
  return csv;
}

TEST_F(ConversionRunTest, RowTagSwitchAppliesFromTheNextRecordWhileTagTextsStay) {
  harness.writeFile(QStringLiteral("in/big.csv"), ManyRecords(400));
  list(QStringLiteral("in/big.csv"));
  form->show();
  bool switched = false;
  QObject::connect(&Controls(*form).ProgressBar1, &QProgressBar::valueChanged, [&](int value) {
    // Past the first quarter of the file, so that early records have row tags.
    if (!switched && value > 2500 && value < 5000) {
      switched = true;
      Controls(*form).Check2.setChecked(false);
      Controls(*form).Text4.setText(QStringLiteral("record"));
    }
  });
  startConverting();

  ASSERT_TRUE(switched);
  const std::string xml = harness.readFile(QStringLiteral("out/big.xml"));
  EXPECT_TRUE(xml.starts_with("<XML>\r\n <row>\r\n  <id>0</id>\r\n")) << xml.substr(0, 40);
  EXPECT_TRUE(xml.ends_with("\r\n <id>399</id>\r\n <name>n</name>\r\n</XML>"))
      << xml.substr(xml.size() - 60);
  EXPECT_EQ(xml.find("record"), std::string::npos);
  EXPECT_EQ(texts(), std::vector<QString>{"Done."});
}

TEST_F(ConversionRunTest, ClosingTheWindowAtAReportEndsTheRunAtOnce) {
  harness.writeFile(QStringLiteral("in/nodot"), kStaffCsv);
  harness.writeFile(QStringLiteral("in/b.csv"), kStaffCsv);
  list(QStringLiteral("in/nodot"));
  list(QStringLiteral("in/b.csv"));
  form->show();
  harness.boxes.whileShown = [&](const ShownMessage&) { form->close(); };
  startConverting();

  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(texts(), std::vector<QString>{report(254, NoDotMessage())});
  EXPECT_EQ(outFolderEntries(), QStringList{"nodot.xml"});
}

TEST_F(ConversionRunTest, ClosingTheWindowInTheMiddleOfAFileLeavesNoOutputBehind) {
  harness.writeFile(QStringLiteral("in/big.csv"), ManyRecords(400));
  harness.writeFile(QStringLiteral("in/after.csv"), kStaffCsv);
  list(QStringLiteral("in/big.csv"));
  list(QStringLiteral("in/after.csv"));
  form->show();
  bool closed = false;
  QObject::connect(&Controls(*form).ProgressBar1, &QProgressBar::valueChanged, [&](int value) {
    // 50 % is the share of files begun; anything else is progress inside big.csv.
    if (!closed && value > 0 && value < 5000) {
      closed = true;
      form->close();
    }
  });
  startConverting();

  ASSERT_TRUE(closed);
  EXPECT_TRUE(harness.boxes.shown.empty());
  EXPECT_TRUE(outFolderEntries().isEmpty()) << outFolderEntries().join(' ').toStdString();
}

}  // namespace
}  // namespace rowvane::app

namespace rowvane::app {
namespace {

// As in the program: closing the last window quits its event loop, which must
// happen as soon as the run has noticed, not after the remaining files.
TEST_F(ConversionRunTest, ClosingTheWindowDuringARunEndsTheProgramsEventLoop) {
  harness.writeFile(QStringLiteral("in/big.csv"), ManyRecords(400));
  harness.writeFile(QStringLiteral("in/after.csv"), kStaffCsv);
  list(QStringLiteral("in/big.csv"));
  list(QStringLiteral("in/after.csv"));
  form->show();
  bool closed = false;
  QObject::connect(&Controls(*form).ProgressBar1, &QProgressBar::valueChanged, [&](int value) {
    if (!closed && value > 0 && value < 5000) {
      closed = true;
      form->close();
    }
  });
  QTimer::singleShot(0, &Controls(*form).PushButton7, &QPushButton::click);
  QTimer neverEnding;  // gone with the test, so it cannot end a later loop
  neverEnding.setSingleShot(true);
  QObject::connect(&neverEnding, &QTimer::timeout, [] { QCoreApplication::exit(1); });
  neverEnding.start(20000);

  QApplication::setQuitOnLastWindowClosed(true);
  const int exitCode = QApplication::exec();
  QApplication::setQuitOnLastWindowClosed(false);

  EXPECT_EQ(exitCode, 0);
  EXPECT_TRUE(closed);
  EXPECT_TRUE(harness.boxes.shown.empty());
  EXPECT_TRUE(outFolderEntries().isEmpty());
}

}  // namespace
}  // namespace rowvane::app
