#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include "tests/app/WindowHarness.h"

namespace rowvane::app {
namespace {

using testing::Controls;
using testing::EntriesOf;
using testing::WindowHarness;

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList FilesOf(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

TEST(SampleFilesBuild, BuildPutsTheSamplesBesideTheProgram) {
  const QString source = QStringLiteral(ROWVANE_SOURCE_SAMPLES);
  const QString built = QStringLiteral(ROWVANE_BUILT_SAMPLES);
  ASSERT_EQ(FilesOf(source).size(), 7);
  ASSERT_EQ(FilesOf(built), FilesOf(source));
  for (const QString& name : FilesOf(source)) {
    EXPECT_EQ(ReadAll(built + '/' + name), ReadAll(source + '/' + name)) << name.toStdString();
  }
}

class SampleFilesTest : public ::testing::Test {
 protected:
  QString samples() const { return harness.programFolder() + QStringLiteral("/Samples"); }

  void expectOnlyTheQuestionsAsked(std::size_t count) const {
    ASSERT_EQ(harness.boxes.shown.size(), count);
    for (const auto& box : harness.boxes.shown) {
      EXPECT_EQ(box.title, QStringLiteral("Rowvane"));
      EXPECT_EQ(box.text, QStringLiteral("Would you like this software to open the folder where "
                                         "these sample files are stored (so that you can view "
                                         "them before working with them)?"));
    }
  }

  WindowHarness harness;
  std::unique_ptr<MainWindow> form = harness.start();
};

TEST_F(SampleFilesTest, EveryPressAddsEachFileOfTheFolderHiddenOnesTooButNothingBelowIt) {
  for (const char* file : {"a.csv", "b.txt", ".hidden.csv", "old/c.csv"}) {
    harness.writeFile(QStringLiteral("program/Samples/") + QString::fromUtf8(file), "x");
  }
  Controls(*form).PushButton5.click();
  Controls(*form).PushButton5.click();
  const QStringList once{samples() + "/.hidden.csv", samples() + "/a.csv", samples() + "/b.txt"};
  EXPECT_EQ(EntriesOf(*form), once + once);
  expectOnlyTheQuestionsAsked(2);
  EXPECT_TRUE(harness.folderOpener.opened.empty());  // answered No
}

TEST_F(SampleFilesTest, MissingFolderAddsNothingButIsStillOfferedAndOpened) {
  harness.boxes.answerYes = true;
  Controls(*form).PushButton5.click();
  EXPECT_TRUE(EntriesOf(*form).isEmpty());
  expectOnlyTheQuestionsAsked(1);
  EXPECT_EQ(harness.folderOpener.opened, std::vector<QString>{samples() + "/"});
}

TEST_F(SampleFilesTest, ShippedSamplesConvertAsTheCommandLineToolConvertsThem) {
  const QString built = QStringLiteral(ROWVANE_BUILT_SAMPLES);
  QDir().mkpath(samples());
  for (const QString& name : FilesOf(built)) {
    ASSERT_TRUE(QFile::copy(built + '/' + name, samples() + '/' + name));
  }
  Controls(*form).PushButton5.click();
  Controls(*form).Text1.setText(harness.outFolder());
  Controls(*form).PushButton7.click();
  ASSERT_EQ(harness.boxes.shown.size(), 2u);
  EXPECT_EQ(harness.boxes.shown[1].text, QStringLiteral("Done."));

  // rowvane-cli with its default options, which are the window's initial ones.
  const QString expected = harness.path(QStringLiteral("expected"));
  QDir().mkpath(expected);
  QProcess cli;
  cli.start(QStringLiteral(ROWVANE_CLI),
            QStringList{QStringLiteral("-q"), QStringLiteral("-o"), expected} + EntriesOf(*form));
  ASSERT_TRUE(cli.waitForFinished(60000));
  EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
  ASSERT_EQ(FilesOf(harness.outFolder()).size(), 7);
  ASSERT_EQ(FilesOf(expected), FilesOf(harness.outFolder()));
  for (const QString& name : FilesOf(expected)) {
    EXPECT_EQ(ReadAll(harness.outFolder() + '/' + name), ReadAll(expected + '/' + name))
        << name.toStdString();
  }
  EXPECT_TRUE(ReadAll(harness.outFolder() + "/staff.xml").contains("<name>Ann Ortega</name>"));
}

}  // namespace
}  // namespace rowvane::app
