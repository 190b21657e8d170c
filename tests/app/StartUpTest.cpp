#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QImageWriter>
#include <QTest>

#include "app/desktop/OccasionalHomePage.h"
#include "app/handlers/ApplicationErrorReport.h"
#include "tests/app/WindowHarness.h"

namespace rowvane::app {
namespace {

using testing::Controls;
using testing::FormOf;
using testing::WindowHarness;

QString LoadLocation() {
  return QStringLiteral("in Rowvane2017/04/05.Form1.Form_Load ");
}

class StartUpTest : public ::testing::Test {
 protected:
  WindowHarness harness;
};

TEST_F(StartUpTest, FirstStartShowsTheDesktopWithASeparatorAndStoresIt) {
  auto form = harness.start();
  const QString expected = harness.desktop() + QLatin1Char('/');
  EXPECT_EQ(Controls(*form).Text1.text(), expected);
  EXPECT_EQ(harness.store().value(QStringLiteral("Text1")).toString(), expected);
  EXPECT_TRUE(harness.boxes.shown.empty());
}

TEST_F(StartUpTest, LaterStartShowsTheStoredFolderUnchangedEvenWhenItIsGone) {
  harness.store().setValue(QStringLiteral("Text1"), QStringLiteral("/no/such/folder//"));
  harness.store().sync();
  auto form = harness.start();
  EXPECT_EQ(Controls(*form).Text1.text(), QStringLiteral("/no/such/folder//"));
}

struct StoredLengthCase {
  const char* name;
  qsizetype units;  // the stored folder: "/", this many of `unit`, "/"
  QChar unit;
  bool kept;  // shown and kept; else the desktop stands in and replaces it
};

class StoredLengthTest : public ::testing::TestWithParam<StoredLengthCase> {
 protected:
  WindowHarness harness;
};

TEST_P(StoredLengthTest, LongStoredFolderIsKeptUpToOneMebibyte) {
  const StoredLengthCase& row = GetParam();
  const QString stored = QLatin1Char('/') + QString(row.units, row.unit) + QLatin1Char('/');
  harness.store().setValue(QStringLiteral("Text1"), stored);
  harness.store().sync();
  auto form = harness.start();
  const QString shown = row.kept ? stored : harness.desktop() + QLatin1Char('/');
  EXPECT_EQ(Controls(*form).Text1.text(), shown);
  EXPECT_EQ(harness.store().value(QStringLiteral("Text1")).toString(), shown);
}

constexpr qsizetype kMiB = qsizetype{1} << 20;

INSTANTIATE_TEST_SUITE_P(
    StartUp, StoredLengthTest,
    ::testing::Values(StoredLengthCase{"HundredKilobytes", 100 * 1024, QLatin1Char('f'), true},
                      StoredLengthCase{"OneMebibyte", kMiB - 2, QLatin1Char('f'), true},
                      StoredLengthCase{"OneByteMore", kMiB - 1, QLatin1Char('f'), false},
                      StoredLengthCase{"TwoByteCharactersOverTheLimit", kMiB / 2, QChar(0xE9),
                                       false}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(StartUpTest, FolderTypedLongerThanOneMebibyteIsNotStored) {
  auto form = harness.start();
  Controls(*form).Text1.setText(QStringLiteral("/kept/"));
  Controls(*form).Text1.setText(QString(kMiB + 1, QLatin1Char('f')));
  EXPECT_EQ(harness.store().value(QStringLiteral("Text1")).toString(), QStringLiteral("/kept/"));
}

TEST_F(StartUpTest, StoredEmptyTextReadsBackEmpty) {
  {
    auto form = harness.start();
    Controls(*form).Text1.clear();
  }
  harness.reopenSettings();
  auto form = harness.start();
  EXPECT_EQ(Controls(*form).Text1.text(), QString());
}

TEST_F(StartUpTest, TypedFolderIsStoredAtEveryChangeAndRestoredAtTheNextStart) {
  {
    auto form = harness.start();
    Controls(*form).Text1.clear();
    EXPECT_EQ(harness.store().value(QStringLiteral("Text1")).toString(), QString());
    QTest::keyClicks(&Controls(*form).Text1, QStringLiteral("/tm"));
    EXPECT_EQ(harness.store().value(QStringLiteral("Text1")).toString(), QStringLiteral("/tm"));
    QTest::keyClicks(&Controls(*form).Text1, QStringLiteral("p/"));
  }
  harness.reopenSettings();
  auto form = harness.start();
  EXPECT_EQ(Controls(*form).Text1.text(), QStringLiteral("/tmp/"));
}

TEST_F(StartUpTest, OptionsAreBackToTheirInitialValuesAfterARestart) {
  {
    auto form = harness.start();
    Controls(*form).Text3.setText(QStringLiteral(";"));
    Controls(*form).Text4.setText(QStringLiteral("record"));
    Controls(*form).Check1.setChecked(false);
    Controls(*form).Check2.setChecked(false);
  }
  harness.reopenSettings();
  auto form = harness.start();
  EXPECT_EQ(Controls(*form).Text3.text(), QStringLiteral(","));
  EXPECT_EQ(Controls(*form).Text4.text(), QStringLiteral("row"));
  EXPECT_EQ(Controls(*form).Text5.text(), QStringLiteral("XML"));
  EXPECT_TRUE(Controls(*form).Check1.isChecked());
  EXPECT_TRUE(Controls(*form).Check2.isChecked());
}

TEST_F(StartUpTest, UnresolvedDesktopIsReportedAndLeavesTheFolderEmptyDespiteAStoredOne) {
  harness.store().setValue(QStringLiteral("Text1"), QStringLiteral("/stored/"));
  harness.store().sync();
  harness.desktopFolder.clear();
  auto form = harness.start();
  ASSERT_EQ(harness.boxes.shown.size(), 1u);
  EXPECT_EQ(harness.boxes.shown[0].text,
            ApplicationErrorText(LoadLocation(), 132,
                                 QStringLiteral("The desktop folder could not be found.")));
  EXPECT_EQ(Controls(*form).Text1.text(), QString());
  EXPECT_EQ(harness.store().value(QStringLiteral("Text1")).toString(), QStringLiteral("/stored/"));
}

struct DrawCase {
  double fraction;
  bool opens;
};

class HomePageDrawTest : public StartUpTest, public ::testing::WithParamInterface<DrawCase> {};

TEST_P(HomePageDrawTest, OnlyTheDrawOf7OpensTheHomePage) {
  harness.fraction = GetParam().fraction;
  auto form = harness.start();
  if (GetParam().opens) {
    ASSERT_EQ(harness.opener.opened.size(), 1u);
    EXPECT_EQ(harness.opener.opened[0],
              QUrl(QStringLiteral("https://www.quorvel.example/rowvane/")));
  } else {
    EXPECT_TRUE(harness.opener.opened.empty());
  }
  EXPECT_TRUE(harness.boxes.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Draws, HomePageDrawTest,
                         ::testing::Values(DrawCase{0.0, false}, DrawCase{0.0599, false},
                                           DrawCase{0.06, true}, DrawCase{0.0699, true},
                                           DrawCase{0.07, false}, DrawCase{0.9999, false}));

TEST(StartUpFractionTest, AnOptOutNeverDrawsTheHomePageAndTheClockDrawsItAboutOnceInAHundred) {
  for (const bool optedOut : {true, false}) {
    const RandomFraction fraction = StartUpFraction(optedOut);
    int sevens = 0;
    for (int start = 0; start < 20000; ++start) {
      sevens += HomePageDraw(fraction()) == 7 ? 1 : 0;
    }
    if (optedOut) {
      EXPECT_EQ(sevens, 0);
    } else {
      EXPECT_GT(sevens, 100);  // 200 expected; below 100 has odds under 1e-14
      EXPECT_LT(sevens, 320);
    }
  }
}

TEST_F(StartUpTest, HomePageThatCannotOpenIsReportedAndStartUpGoesOn) {
  harness.fraction = 0.065;
  harness.opener.fails = true;
  auto form = harness.start();
  ASSERT_EQ(harness.boxes.shown.size(), 1u);
  EXPECT_EQ(harness.boxes.shown[0].text,
            ApplicationErrorText(LoadLocation(), 110, QStringLiteral("No web browser.")));
  EXPECT_EQ(Controls(*form).ListView1.headerItem()->text(0), QStringLiteral("CSV File(s)"));
  EXPECT_EQ(Controls(*form).Text1.text(), harness.desktop() + QLatin1Char('/'));
}

TEST_F(StartUpTest, SkinFileBesideTheProgramGivesTheButtonFaceColour) {
  harness.writeFile(QStringLiteral("program/x/o.cjs"), "skin");
  auto form = harness.start();
  const QColor buttonFace = QApplication::palette().color(QPalette::Button);
  EXPECT_TRUE(FormOf(*form).skinApplied());
  for (const QWidget* surface :
       {static_cast<QWidget*>(&FormOf(*form)), static_cast<QWidget*>(&Controls(*form).Frame1),
        static_cast<QWidget*>(&Controls(*form).Frame6),
        static_cast<QWidget*>(&Controls(*form).Check1)}) {
    EXPECT_EQ(surface->palette().color(surface->backgroundRole()), buttonFace)
        << surface->objectName().toStdString();
  }
  EXPECT_EQ(Controls(*form).Text1.palette().color(QPalette::Base), QColor(Qt::white));
}

TEST_F(StartUpTest, FolderNamedLikeTheSkinFileIsNoSkin) {
  QDir().mkpath(harness.path(QStringLiteral("program/x/o.cjs")));
  auto form = harness.start();
  EXPECT_FALSE(FormOf(*form).skinApplied());
  EXPECT_EQ(Controls(*form).Frame1.palette().color(Controls(*form).Frame1.backgroundRole()),
            QColor(Qt::white));
}

// A 16 x 16 cursor file whose hot spot is (3, 5).
void WriteCursorFile(const QString& path) {
  QImage image(16, 16, QImage::Format_ARGB32);
  image.fill(Qt::red);
  {
    QImageWriter writer(path, "ico");
    ASSERT_TRUE(writer.write(image)) << writer.errorString().toStdString();
  }
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  QByteArray bytes = file.readAll();
  bytes[2] = 2;  // a cursor, not an icon
  bytes[10] = 3;
  bytes[11] = 0;
  bytes[12] = 5;
  bytes[13] = 0;
  file.seek(0);
  file.write(bytes);
}

TEST_F(StartUpTest, HandCursorFileBesideTheProgramIsTheHandOverButtons) {
  WriteCursorFile(harness.path(QStringLiteral("program/HAND-M.CUR")));
  auto form = harness.start();
  FormOf(*form).setMousePointer(99);
  EXPECT_EQ(form->cursor().shape(), Qt::BitmapCursor);
  EXPECT_EQ(form->cursor().hotSpot(), QPoint(3, 5));
  EXPECT_EQ(form->cursor().pixmap().size(), QSize(16, 16));
  EXPECT_TRUE(harness.boxes.shown.empty());
}

TEST_F(StartUpTest, WithoutAReadableHandCursorTheDesktopHandStandsInSilently) {
  for (bool present : {false, true}) {
    if (present) {
      harness.writeFile(QStringLiteral("program/HAND-M.CUR"), "not a cursor");
    }
    auto form = harness.start();
    FormOf(*form).setMousePointer(99);
    EXPECT_EQ(form->cursor().shape(), Qt::PointingHandCursor) << "file present: " << present;
  }
  EXPECT_TRUE(harness.boxes.shown.empty());
}

}  // namespace
}  // namespace rowvane::app
