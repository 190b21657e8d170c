#include <gtest/gtest.h>

#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "app/controls/CommonDialog.h"
#include "app/handlers/ApplicationErrorReport.h"
#include "tests/app/WindowHarness.h"
#include "tests/support/MemoryFileSystem.h"

// "Add CSV File(s)", "Add All CSV File(s) In Folder" and drops onto the list.
namespace rowvane::app {
namespace {

using testing::Controls;
using testing::EntriesOf;
using testing::FormOf;
using testing::WindowHarness;

QString Refusal(const QString& path) {
  return path + QStringLiteral("\r\rwas not added because it has bad characters in the filename.");
}

// A memory file system whose walk can be watched, and in which every path
// below /broken fails to be read.
class WatchedFileSystem : public rowvane::MemoryFileSystem {
 public:
  rowvane::SubFolderListing subFoldersOf(const std::string& folder) const override {
    if (onListing) {
      onListing(folder);
    }
    return MemoryFileSystem::subFoldersOf(folder);
  }
  std::optional<rowvane::Attributes> attributesOf(const std::string& path) const override {
    if (path.starts_with("/broken")) {
      throw std::runtime_error("cannot read");
    }
    return MemoryFileSystem::attributesOf(path);
  }
  std::function<void(const std::string&)> onListing;
};

class AddingFilesTest : public ::testing::Test {
 protected:
  AddingFilesTest() {
    // Left out by the folder button: c.txt (type), ~lock.csv (name), h.csv
    // (hidden archive), locked.csv (cannot be opened), t (hidden system).
    for (const char* file : {"/in/a.csv", "/in/b.CSV", "/in/c.txt", "/in/~lock.csv", "/in/s/d.csv",
                             "/in/t/e.csv", "/in/u/e.csv", "/in/v/e.csv", "/p/1.csv", "/pp/2.csv",
                             "/x.csv", "/y.csv", "/hid/inside.csv"}) {
      files.addFile(file);
    }
    files.addFile("/in/h.csv", 34);
    files.addFile("/in/k.csv", 2);
    files.addFile("/in/locked.csv", 32, /*openable=*/false);
    files.addFolder("/in/t", 22);
    files.addFolder("/in/u", 18);
    files.addFolder("/in/v", 54);
    files.addFolder("/hid", 18);
    files.addFolder("/", 22);  // walked all the same: it is the root
    harness.fileSystem = &files;
    form = harness.start();
  }

  void chooseFiles(const QStringList& paths) {
    harness.fileDialog.answer = paths;
    Controls(*form).PushButton8.click();
  }
  void chooseFolder(const QString& folder) {
    harness.folderDialog.answer = folder;
    Controls(*form).PushButton9.click();
  }
  QStringList texts() const {
    QStringList shown;
    for (const auto& box : harness.boxes.shown) {
      shown << box.text;
    }
    return shown;
  }
  void showWindow() {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }

  WatchedFileSystem files;
  WindowHarness harness;
  std::unique_ptr<MainWindow> form;
};

QStringList WorkedExample() {
  return {"/in/a.csv", "/in/b.CSV", "/in/k.csv", "/in/s/d.csv", "/in/u/e.csv", "/in/v/e.csv"};
}

// ------------------------------------------------------------ file dialog

struct FileChoice {
  const char* name;
  QStringList chosen, added, refused;
};

void PrintTo(const FileChoice& row, std::ostream* out) {
  *out << row.name;
}

class FileChoiceTest : public AddingFilesTest, public ::testing::WithParamInterface<FileChoice> {};

TEST_P(FileChoiceTest, UsableFilesAreAddedInTheDialogsOrderAndTheOthersRefused) {
  chooseFiles(GetParam().chosen);
  EXPECT_EQ(EntriesOf(*form), GetParam().added);
  QStringList refusals;
  for (const QString& path : GetParam().refused) {
    refusals << Refusal(path);
  }
  EXPECT_EQ(texts(), refusals);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, FileChoiceTest,
    ::testing::Values(
        FileChoice{"One", {"/in/a.csv"}, {"/in/a.csv"}, {}},
        FileChoice{"DialogOrder", {"/in/k.csv", "/in/a.csv"}, {"/in/k.csv", "/in/a.csv"}, {}},
        FileChoice{"Root", {"/x.csv", "/y.csv"}, {"/x.csv", "/y.csv"}, {}},
        FileChoice{"AnyType", {"/in/c.txt", "/in/h.csv"}, {"/in/c.txt", "/in/h.csv"}, {}},
        // "/p" is no folder of "/pp/2.csv": the names share "/" only.
        FileChoice{"Folders",
                   {"/p/1.csv", "/pp/2.csv", "/in/s/d.csv"},
                   {"/p/1.csv", "/pp/2.csv", "/in/s/d.csv"},
                   {}},
        FileChoice{"Cancelled", {}, {}, {}},
        FileChoice{"OneUnusable", {"/in/gone.csv"}, {}, {"/in/gone.csv"}},
        FileChoice{"UnusableAmongOthers",
                   {"/in/a.csv", "/in/gone.csv", "/in/k.csv"},
                   {"/in/a.csv", "/in/k.csv"},
                   {"/in/gone.csv"}}),
    [](const auto& row) { return std::string(row.param.name); });

// Names in /big of 99 characters take 100 of the result text with their NUL.
QStringList BigChoice(int lastNameLength) {
  QStringList paths;
  for (int i = 0; i < 300; ++i) {
    const int length = i == 299 ? lastNameLength : 99;
    paths << QStringLiteral("/big/%1.csv").arg(i, length - 4, 10, QLatin1Char('0'));
  }
  return paths;
}

TEST_F(AddingFilesTest, ChoiceBeyondTheDialogsResultTextSendsTheUserToAddAll) {
  const QStringList fits = BigChoice(95);
  ASSERT_EQ(OpenDialogResultText(fits).size(), 30000);
  for (const QString& path : fits + BigChoice(96)) {
    files.addFile(path.toStdString());
  }
  chooseFiles(BigChoice(96));
  EXPECT_TRUE(EntriesOf(*form).isEmpty());
  ASSERT_EQ(texts(), QStringList{"You've selected too many files to add.\r\r"
                                 "Please try adding via the \"Add All\" button."});
  EXPECT_EQ(harness.boxes.shown[0].title, QStringLiteral("Rowvane"));

  chooseFiles(fits);
  EXPECT_EQ(EntriesOf(*form), fits);
  EXPECT_EQ(harness.boxes.shown.size(), 1u);
}

TEST_F(AddingFilesTest, FileDialogIsAskedForCsvFilesAndItsFailureReported) {
  harness.fileDialog.fails = true;
  chooseFiles({"/in/a.csv"});
  EXPECT_EQ(harness.fileDialog.titles,
            std::vector<QString>{"Add File(s) - Hold Ctrl to select multiple files"});
  EXPECT_EQ(harness.fileDialog.filters, std::vector<QString>{"CSV Files (*.csv)"});
  EXPECT_EQ(texts(),
            QStringList{ApplicationErrorText("in Rowvane2017/04/05.Form1.PushButton8_Click ", 112,
                                             "The file dialog could not be shown.")});
  EXPECT_TRUE(EntriesOf(*form).isEmpty());
}

// ------------------------------------------------------------ folder button

TEST_F(AddingFilesTest, FolderGivesItsUsableCsvFilesLevelByLevelEachTimeItIsChosen) {
  chooseFolder("/in");
  chooseFolder("/in");
  EXPECT_EQ(EntriesOf(*form), WorkedExample() + WorkedExample());
  EXPECT_TRUE(harness.boxes.shown.empty());
  EXPECT_EQ(harness.folderDialog.prompts.at(0), QStringLiteral("Please select folder:"));
}

TEST_F(AddingFilesTest, RootFolderGivesEntriesWithOneSeparator) {
  chooseFolder("/");
  EXPECT_EQ(EntriesOf(*form), (QStringList{"/x.csv", "/y.csv", "/hid/inside.csv", "/in/a.csv",
                                           "/in/b.CSV", "/in/k.csv", "/p/1.csv", "/pp/2.csv",
                                           "/in/s/d.csv", "/in/u/e.csv", "/in/v/e.csv"}));
}

TEST_F(AddingFilesTest, CancelledFolderChoiceWalksNothingAndLeavesThePointer) {
  FormOf(*form).setMousePointer(99);
  files.onListing = [](const std::string&) { ADD_FAILURE() << "walked"; };
  chooseFolder("");
  EXPECT_TRUE(EntriesOf(*form).isEmpty());
  EXPECT_EQ(FormOf(*form).MousePointer(), 99);
}

TEST_F(AddingFilesTest, WalkShowsTheHourglassAndLetsTheWindowWorkButNotRemove) {
  showWindow();
  Controls(*form).ListView1.listItems().Add(QStringLiteral("/old.csv"));
  Controls(*form).ListView1.setCurrentItem(Controls(*form).ListView1.topLevelItem(0));
  std::vector<int> pointers;
  files.onListing = [&](const std::string&) { pointers.push_back(FormOf(*form).MousePointer()); };
  int countAfterDelete = -1;
  QTimer::singleShot(0, form.get(), [&] {  // runs when the walk lets events through
    QTest::keyClick(&Controls(*form).ListView1, Qt::Key_Delete);
    countAfterDelete = Controls(*form).ListView1.listItems().Count();
    Controls(*form).PushButton4.click();
  });
  chooseFolder("/in");
  EXPECT_EQ(countAfterDelete, 1);
  EXPECT_EQ(EntriesOf(*form), WorkedExample());  // cleared, then filled
  EXPECT_EQ(pointers, std::vector<int>(pointers.size(), 11));
  EXPECT_GE(pointers.size(), 4u);
  EXPECT_EQ(FormOf(*form).MousePointer(), 0);
}

TEST_F(AddingFilesTest, FailingWalkIsReportedAndTheChosenFolderStillListed) {
  files.onListing = [](const std::string&) { throw std::runtime_error("cannot list"); };
  chooseFolder("/in");
  EXPECT_EQ(texts(), QStringList{ApplicationErrorText(
                         "in Rowvane2017/04/05.Form1.PushButton9_Click ", 116, "cannot list")});
  EXPECT_EQ(EntriesOf(*form), (QStringList{"/in/a.csv", "/in/b.CSV", "/in/k.csv"}));
  EXPECT_EQ(FormOf(*form).MousePointer(), 0);
}

TEST_F(AddingFilesTest, ClosingTheWindowDuringTheWalkEndsIt) {
  showWindow();
  files.onListing = [&](const std::string&) { form->close(); };
  chooseFolder("/in");
  EXPECT_TRUE(EntriesOf(*form).isEmpty());
  EXPECT_TRUE(harness.boxes.shown.empty());
}

// Over real folders a name beginning with "." is hidden, so such a file is a
// hidden archive file and left out, while such a folder is walked.
TEST(AddFolderOnDisk, TakesCsvFilesOfTheFolderAndBelowButNotHiddenFiles) {
  WindowHarness harness;
  for (const char* file : {"in/a.csv", "in/B.CSV", "in/n.txt", "in/.h.csv", "in/.git/e.csv"}) {
    harness.writeFile(QString::fromUtf8(file), "x");
  }
  auto form = harness.start();
  harness.folderDialog.answer = harness.path(QStringLiteral("in"));
  Controls(*form).PushButton9.click();
  EXPECT_EQ(EntriesOf(*form), (QStringList{harness.path("in/a.csv"), harness.path("in/B.CSV"),
                                           harness.path("in/.git/e.csv")}));
}

// ------------------------------------------------------------ drops

// Drags `data` over `viewport`; true when the list offers to take it.
bool DragOver(QWidget& viewport, const QMimeData& data) {
  const QPoint middle = viewport.rect().center();
  QDragEnterEvent enter(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&viewport, &enter);
  QDragMoveEvent move(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&viewport, &move);
  return enter.isAccepted() && move.isAccepted() && move.dropAction() != Qt::IgnoreAction;
}

std::unique_ptr<QMimeData> FileData(const QStringList& paths) {
  auto data = std::make_unique<QMimeData>();
  QList<QUrl> urls;
  for (const QString& path : paths) {
    urls << QUrl::fromLocalFile(path);
  }
  data->setUrls(urls);
  return data;
}

struct DropCase {
  const char* name;
  QStringList dropped, added;
};

void PrintTo(const DropCase& row, std::ostream* out) {
  *out << row.name;
}

class DropTest : public AddingFilesTest, public ::testing::WithParamInterface<DropCase> {};

TEST_P(DropTest, FilesAreTakenAsDroppedAndFoldersWalkedForFilesOfAnyType) {
  showWindow();
  const auto data = FileData(GetParam().dropped);
  ASSERT_TRUE(DragOver(*Controls(*form).ListView1.viewport(), *data));
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(Controls(*form).ListView1.viewport(), &drop);
  QCoreApplication::processEvents();  // handled once the drag source is released
  EXPECT_EQ(EntriesOf(*form), GetParam().added);
  EXPECT_TRUE(harness.boxes.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Drops, DropTest,
    ::testing::Values(
        DropCase{"Files", {"/in/c.txt", "/in/h.csv", "/gone"}, {"/in/c.txt", "/in/h.csv", "/gone"}},
        DropCase{"Folder",
                 {"/in"},
                 {"/in/a.csv", "/in/b.CSV", "/in/c.txt", "/in/k.csv", "/in/s/d.csv", "/in/u/e.csv",
                  "/in/v/e.csv"}},
        DropCase{"FileAndFoldersInOrder",
                 {"/x.csv", "/p/", "/p", "/y.csv"},
                 {"/x.csv", "/p/1.csv", "/p/1.csv", "/y.csv"}},
        // A hidden folder is not seen as a folder: its own path is taken.
        DropCase{"HiddenFolder", {"/hid"}, {"/hid"}},
        DropCase{"FailingPathPassedOver", {"/x.csv", "/broken", "/p"}, {"/x.csv", "/p/1.csv"}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(AddingFilesTest, DraggedDataWithoutFilesIsRefused) {
  showWindow();
  QWidget& viewport = *Controls(*form).ListView1.viewport();
  QMimeData text;
  text.setText(QStringLiteral("/in/a.csv"));
  QMimeData web;
  web.setUrls({QUrl(QStringLiteral("https://example.org/a.csv"))});
  EXPECT_FALSE(DragOver(viewport, text));
  EXPECT_FALSE(DragOver(viewport, web));
  EXPECT_TRUE(DragOver(viewport, *FileData({"/in/a.csv"})));
}

}  // namespace
}  // namespace rowvane::app
