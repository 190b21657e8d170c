#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "app/desktop/ProductInfo.h"
#include "app/menus/FileMenu.h"
#include "app/menus/HelpMenu.h"
#include "tests/app/WindowHarness.h"

namespace rowvane::app {
namespace {

// A main window with the menus in its bar, shown and active, so that its
// shortcuts reach the menus as a user's keys would.
class MenuBarTest : public ::testing::Test {
 protected:
  MenuBarTest() {
    window.menuBar()->addMenu(&fileMenu);
    window.menuBar()->addMenu(&helpMenu);
    window.setCentralWidget(new QLabel(&window));
    window.show();
    QApplication::setActiveWindow(&window);
    active = QTest::qWaitForWindowActive(&window);
  }

  QMainWindow window;
  FileMenu fileMenu{&window};
  HelpMenu helpMenu{&window};
  bool active = false;
};

struct FileEntry {
  const char* text;
  QKeySequence keys;
  QAction FileMenu::*action;
  void (FileMenu::*request)();
};

void PrintTo(const FileEntry& row, std::ostream* out) {
  *out << row.text;
}

class FileMenuTest : public MenuBarTest, public ::testing::WithParamInterface<FileEntry> {};

// Each entry, by its keys (when it has some) and by clicking it in the menu,
// asks for its one action and no other.
TEST_P(FileMenuTest, EntryAsksForItsActionByItsKeysAndByAClick) {
  ASSERT_TRUE(active);
  // Start is offered only outside a run, Stop only in one.
  fileMenu.setConverting(GetParam().request == &FileMenu::stopConvertingRequested);
  QAction& action = fileMenu.*GetParam().action;
  EXPECT_EQ(action.text(), QString::fromUtf8(GetParam().text));
  EXPECT_EQ(action.shortcut(), GetParam().keys);

  std::vector<std::unique_ptr<QSignalSpy>> spies;
  for (auto signal : {&FileMenu::addFilesRequested, &FileMenu::addFolderRequested,
                      &FileMenu::loadSamplesRequested, &FileMenu::clearListRequested,
                      &FileMenu::startConvertingRequested, &FileMenu::stopConvertingRequested,
                      &FileMenu::quitRequested}) {
    spies.push_back(std::make_unique<QSignalSpy>(&fileMenu, signal));
  }
  QSignalSpy wanted(&fileMenu, GetParam().request);
  int expected = 0;
  if (!GetParam().keys.isEmpty()) {
    const QKeyCombination keys = GetParam().keys[0];
    QTest::keyClick(&window, keys.key(), keys.keyboardModifiers());
    ++expected;
  }
  fileMenu.popup(window.mapToGlobal(QPoint(0, 0)));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&fileMenu));
  QTest::mouseClick(&fileMenu, Qt::LeftButton, {}, fileMenu.actionGeometry(&action).center());
  ++expected;

  EXPECT_EQ(wanted.count(), expected);
  int total = 0;
  for (const auto& spy : spies) {
    total += static_cast<int>(spy->count());
  }
  EXPECT_EQ(total, expected);  // nothing else was asked for
}

INSTANTIATE_TEST_SUITE_P(
    Entries, FileMenuTest,
    ::testing::Values(FileEntry{"&Add CSV File(s)...", QKeySequence(Qt::CTRL | Qt::Key_O),
                                &FileMenu::AddFiles, &FileMenu::addFilesRequested},
                      FileEntry{"Add All CSV File(s) In &Folder...",
                                QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O),
                                &FileMenu::AddFolder, &FileMenu::addFolderRequested},
                      FileEntry{"&Load Sample/Example Files", QKeySequence(),
                                &FileMenu::LoadSamples, &FileMenu::loadSamplesRequested},
                      FileEntry{"&Clear List", QKeySequence(), &FileMenu::ClearList,
                                &FileMenu::clearListRequested},
                      FileEntry{"&Start Converting", QKeySequence(Qt::CTRL | Qt::Key_Return),
                                &FileMenu::StartConverting, &FileMenu::startConvertingRequested},
                      FileEntry{"S&top Converting", QKeySequence(Qt::Key_Escape),
                                &FileMenu::StopConverting, &FileMenu::stopConvertingRequested},
                      FileEntry{"&Quit", QKeySequence(Qt::CTRL | Qt::Key_Q), &FileMenu::Quit,
                                &FileMenu::quitRequested}),
    [](const auto& row) {
      std::string name;
      for (const char c : std::string(row.param.text)) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
          name += c;
        }
      }
      return name;
    });

TEST_F(MenuBarTest, StopConvertingIsOfferedOnlyDuringARunAndStartOnlyOutsideOne) {
  ASSERT_TRUE(active);
  QSignalSpy stops(&fileMenu, &FileMenu::stopConvertingRequested);
  EXPECT_FALSE(fileMenu.StopConverting.isEnabled());
  EXPECT_TRUE(fileMenu.StartConverting.isEnabled());
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_EQ(stops.count(), 0);

  fileMenu.setConverting(true);
  EXPECT_FALSE(fileMenu.StartConverting.isEnabled());
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_EQ(stops.count(), 1);

  fileMenu.setConverting(false);
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_EQ(stops.count(), 1);
}

// The entries drive the window's own handlers: the window's list changes as
// by its buttons.
TEST_F(MenuBarTest, EntriesConnectedToTheButtonsHandlersActLikeTheButtons) {
  testing::WindowHarness harness;
  harness.writeFile(QStringLiteral("program/Samples/s.csv"), "a");
  harness.fileDialog.answer = {harness.path(QStringLiteral("in/a.csv"))};
  harness.writeFile(QStringLiteral("in/a.csv"), "a");
  const auto form = harness.start();
  const testing::Form1Controls controls = testing::Controls(*form);
  QObject::connect(&fileMenu, &FileMenu::loadSamplesRequested, &controls.PushButton5,
                   &QPushButton::click);
  QObject::connect(&fileMenu, &FileMenu::addFilesRequested, &controls.PushButton8,
                   &QPushButton::click);
  QObject::connect(&fileMenu, &FileMenu::clearListRequested, &controls.PushButton4,
                   &QPushButton::click);

  fileMenu.LoadSamples.trigger();
  fileMenu.AddFiles.trigger();
  EXPECT_EQ(testing::EntriesOf(*form),
            QStringList({harness.path(QStringLiteral("program/Samples/s.csv")),
                         harness.path(QStringLiteral("in/a.csv"))}));
  fileMenu.ClearList.trigger();
  EXPECT_TRUE(testing::EntriesOf(*form).isEmpty());
}

TEST_F(MenuBarTest, AboutBoxGivesVersionLicenceAndHomePage) {
  EXPECT_EQ(helpMenu.About.text(), QStringLiteral("&About Rowvane"));
  QString title;
  QString text;
  // The box is modal: read and close it from inside its own loop.
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    text = box->text();
    box->accept();
  });
  helpMenu.About.trigger();
  EXPECT_EQ(title, QStringLiteral("About Rowvane"));
  for (const char* part : {ROWVANE_VERSION, "MIT License", "Quorvel", kHomePageAddress}) {
    EXPECT_TRUE(text.contains(QString::fromUtf8(part))) << part << " in " << text.toStdString();
  }
}

}  // namespace
}  // namespace rowvane::app
