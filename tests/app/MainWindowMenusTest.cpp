// The menus of the real window, offscreen: entries reached by their keys or
// by clicks through the menu bar, the Format choice in the runs and across a
// restart, and a run stopped or quit in its middle.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <stdexcept>
#include <utility>

#include "app/menus/FileMenu.h"
#include "app/menus/FormatMenu.h"
#include "engine/batch/FileConverter.h"
#include "tests/app/WindowHarness.h"

namespace rowvane::app {
namespace {

using testing::Controls;
using testing::EntriesOf;
using testing::FormOf;
using testing::ShownMessage;
using testing::WindowHarness;

template <typename Menu>
Menu& MenuOf(const MainWindow& window) {
  auto* const menu = window.findChild<Menu*>();
  if (menu == nullptr) {
    throw std::logic_error("the window has no such menu");
  }
  return *menu;
}

// Shows the window and makes it the active one, so that keys reach its
// shortcuts as a user's keys would.
void ShowActive(MainWindow& window) {
  window.show();
  QApplication::setActiveWindow(&window);
  if (!QTest::qWaitForWindowActive(&window)) {
    throw std::runtime_error("the window did not become active");
  }
}

// Opens `menu` with a click on its title in the bar, then clicks `entry`.
void ClickThroughTheBar(MainWindow& window, QMenu& menu, QAction& entry) {
  QMenuBar* const bar = window.menuBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu.menuAction()).center());
  if (!QTest::qWaitForWindowExposed(&menu)) {
    throw std::runtime_error("the menu did not open");
  }
  QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(&entry).center());
}

// Presses `keys` where the user's keys go: the control with the focus.
void Press(MainWindow& window, QKeyCombination keys) {
  QWidget* const target =
      QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : &window;
  QTest::keyClick(target, keys.key(), keys.keyboardModifiers());
}

std::vector<QString> TextsShown(const WindowHarness& harness) {
  std::vector<QString> texts;
  for (const ShownMessage& message : harness.boxes.shown) {
    texts.push_back(message.text);
  }
  return texts;
}

// Every entry, hidden ones and leftovers of abandoned files included.
QStringList OutFolderEntries(const WindowHarness& harness) {
  return QDir(harness.outFolder())
      .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// A file long enough for the engine to pause many times within it.
QByteArray ManyRecords(const QByteArray& header, const QByteArray& record, int count) {
  QByteArray csv = header;
  for (int i = 0; i < count; ++i) {
    csv += record;
  }
  return csv;
}

// ---------------------------------------------------------------- File menu

// What a user sees of the window and its files, with the paths below the
// harness made relative so that two harnesses compare.
struct Observed {
  QStringList entries;
  std::vector<QString> messages;
  QStringList outputs;
  std::size_t fileDialogs = 0;
  std::size_t folderDialogs = 0;
  bool operator==(const Observed&) const = default;
};

void PrintTo(const Observed& seen, std::ostream* out) {
  *out << seen.entries.join(' ').toStdString() << " | " << seen.messages.size() << " messages | "
       << seen.outputs.join(' ').toStdString() << " | dialogs " << seen.fileDialogs << ','
       << seen.folderDialogs;
}

// A window with one file listed, an output folder, files to add and samples
// to load, and dialogs answered.
class PreparedWindow {
 public:
  PreparedWindow() {
    harness.writeFile(QStringLiteral("in/a.csv"), "id\r\n1");
    harness.writeFile(QStringLiteral("in/b.csv"), "id\r\n2");
    harness.writeFile(QStringLiteral("program/Samples/s.csv"), "id\r\n3");
    harness.fileDialog.answer = {harness.path(QStringLiteral("in/a.csv"))};
    harness.folderDialog.answer = harness.path(QStringLiteral("in"));
    window = harness.start();
    Controls(*window).Text1.setText(harness.outFolder());
    Controls(*window).ListView1.listItems().Add(harness.path(QStringLiteral("in/b.csv")));
    ShowActive(*window);
  }

  Observed observed() const {
    const QString root = harness.path(QStringLiteral("x")).chopped(1);
    Observed seen;
    seen.outputs = OutFolderEntries(harness);
    seen.fileDialogs = harness.fileDialog.titles.size();
    seen.folderDialogs = harness.folderDialog.prompts.size();
    for (const QString& entry : EntriesOf(*window)) {
      seen.entries << QString(entry).remove(root);
    }
    for (const QString& text : TextsShown(harness)) {
      seen.messages.push_back(QString(text).remove(root));
    }
    return seen;
  }

  WindowHarness harness;
  std::unique_ptr<MainWindow> window;
};

enum class Gesture { Keys, Click };

struct StandInCase {
  const char* name;
  QAction FileMenu::*entry;
  const char* button;
  Gesture gesture;
};

void PrintTo(const StandInCase& row, std::ostream* out) {
  *out << row.name;
}

class FileMenuStandInTest : public ::testing::TestWithParam<StandInCase> {};

// The entry and its button, each on a window of its own prepared alike, leave
// the same window, messages, dialogs and files behind, and change something.
TEST_P(FileMenuStandInTest, EntryDoesWhatItsButtonDoes) {
  const StandInCase& row = GetParam();
  PreparedWindow byButton;
  const Observed before = byButton.observed();
  testing::Found<QPushButton>(*byButton.window, row.button).click();
  const Observed afterButton = byButton.observed();
  ASSERT_NE(afterButton, before);

  PreparedWindow byMenu;
  ASSERT_EQ(byMenu.observed(), before);
  FileMenu& menu = MenuOf<FileMenu>(*byMenu.window);
  QAction& entry = menu.*row.entry;
  if (row.gesture == Gesture::Keys) {
    ASSERT_FALSE(entry.shortcut().isEmpty());
    Press(*byMenu.window, entry.shortcut()[0]);
  } else {
    ClickThroughTheBar(*byMenu.window, menu, entry);
  }
  EXPECT_EQ(byMenu.observed(), afterButton);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, FileMenuStandInTest,
    ::testing::Values(
        StandInCase{"AddFilesByKeys", &FileMenu::AddFiles, "PushButton8", Gesture::Keys},
        StandInCase{"AddFolderByKeys", &FileMenu::AddFolder, "PushButton9", Gesture::Keys},
        StandInCase{"LoadSamplesByClick", &FileMenu::LoadSamples, "PushButton5", Gesture::Click},
        StandInCase{"ClearListByClick", &FileMenu::ClearList, "PushButton4", Gesture::Click},
        StandInCase{"StartByKeys", &FileMenu::StartConverting, "PushButton7", Gesture::Keys},
        StandInCase{"StartByClick", &FileMenu::StartConverting, "PushButton7", Gesture::Click}),
    [](const auto& row) { return std::string(row.param.name); });

// ---------------------------------------------------------------- ending a run

struct EndingCase {
  const char* name;
  QKeyCombination keys;
  std::vector<QString> messages;
  bool windowStaysOpen;
};

void PrintTo(const EndingCase& row, std::ostream* out) {
  *out << row.name;
}

class RunEndingTest : public ::testing::TestWithParam<EndingCase> {};

// Three files; the keys are pressed while the second is half converted. The
// first output stays, the second leaves no trace, the third is never begun.
TEST_P(RunEndingTest, KeysInTheMiddleOfAFileEndTheRunThere) {
  const EndingCase& row = GetParam();
  WindowHarness harness;
  harness.writeFile(QStringLiteral("in/first.csv"), "id\r\n1");
  harness.writeFile(QStringLiteral("in/big.csv"), ManyRecords("id", "\r\n1", 400));
  harness.writeFile(QStringLiteral("in/third.csv"), "id\r\n3");
  const auto window = harness.start();
  const testing::Form1Controls controls = Controls(*window);
  controls.Text1.setText(harness.outFolder());
  for (const char* name : {"in/first.csv", "in/big.csv", "in/third.csv"}) {
    controls.ListView1.listItems().Add(harness.path(QString::fromLatin1(name)));
  }
  ShowActive(*window);
  const QAction& stop = MenuOf<FileMenu>(*window).StopConverting;
  const QAction& start = MenuOf<FileMenu>(*window).StartConverting;
  EXPECT_FALSE(stop.isEnabled());

  bool pressed = false;
  bool stopEnabledInTheRun = false;
  // The button stays enabled; the menu item does not offer a second start.
  std::pair<bool, bool> startEnabledInTheRun{false, true};
  QObject::connect(&controls.ProgressBar1, &QProgressBar::valueChanged, [&](int value) {
    if (!pressed && controls.ProgressBar1.text() == QStringLiteral("Processing: big.csv") &&
        value > 0 && value < 5000) {
      pressed = true;
      stopEnabledInTheRun = stop.isEnabled();
      startEnabledInTheRun = {controls.PushButton7.isEnabled(), start.isEnabled()};
      Press(*window, row.keys);
    }
  });
  controls.PushButton7.click();

  ASSERT_TRUE(pressed);
  EXPECT_TRUE(stopEnabledInTheRun);
  EXPECT_EQ(startEnabledInTheRun, std::pair(true, false));
  EXPECT_FALSE(stop.isEnabled());
  EXPECT_TRUE(start.isEnabled());
  EXPECT_EQ(OutFolderEntries(harness), QStringList{"first.xml"});
  EXPECT_EQ(TextsShown(harness), row.messages);
  EXPECT_EQ(window->isVisible(), row.windowStaysOpen);
  if (row.windowStaysOpen) {
    // At rest as after any run, with the list as it was.
    EXPECT_EQ(controls.ProgressBar1.percent(), 0.0);
    EXPECT_EQ(controls.ProgressBar1.text(), QStringLiteral("Progress Bar"));
    EXPECT_EQ(FormOf(*window).MousePointer(), 0);
    EXPECT_EQ(controls.ListView1.listItems().Count(), 3);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, RunEndingTest,
    ::testing::Values(EndingCase{"StopConverting", Qt::Key_Escape, {"Stopped."}, true},
                      EndingCase{"Quit", Qt::CTRL | Qt::Key_Q, {}, false}),
    [](const auto& row) { return std::string(row.param.name); });

// ---------------------------------------------------------------- Format menu

// The output the engine itself gives for `input` in `format`, with the
// window's initial options.
std::string EngineOutput(const QString& input, const CsvFormat& format) {
  QTemporaryDir folder;
  ConversionSettings settings;
  settings.Format = format;
  ConversionObserver observer;
  const FileOutcome outcome =
      ConvertFile(input.toStdString(), folder.path().toStdString(), settings, observer);
  QFile output(QString::fromStdString(outcome.outputPath));
  return output.open(QIODevice::ReadOnly) ? output.readAll().toStdString() : "<missing>";
}

TEST(MainWindowFormatTest, ChoiceIsTakenAsEachRunStartsAndSurvivesARestart) {
  WindowHarness harness;
  // LF line breaks and quoted fields with separators and quotes inside.
  harness.writeFile(
      QStringLiteral("in/quoted.csv"),
      ManyRecords("id,name\n", "7,\"Ortega, Ann\"\n8,\"said \"\"hi\"\" & <left>\"\n", 100));
  harness.writeFile(QStringLiteral("in/small.csv"), "id,name\n9,\"a,b\"\n");
  const QStringList inputs{harness.path(QStringLiteral("in/quoted.csv")),
                           harness.path(QStringLiteral("in/small.csv"))};
  {
    const auto window = harness.start();
    ShowActive(*window);
    FormatMenu& menu = MenuOf<FormatMenu>(*window);
    ClickThroughTheBar(*window, menu, menu.standardAction());
    ASSERT_EQ(menu.format(), CsvFormat::Standard());
  }
  harness.reopenSettings();
  const auto window = harness.start();
  FormatMenu& menu = MenuOf<FormatMenu>(*window);
  EXPECT_TRUE(menu.standardAction().isChecked());
  const testing::Form1Controls controls = Controls(*window);
  controls.Text1.setText(harness.outFolder());
  for (const QString& input : inputs) {
    controls.ListView1.listItems().Add(input);
  }
  // Chosen in the middle of the first file: the run goes on as it began.
  bool switched = false;
  const auto connection =
      QObject::connect(&controls.ProgressBar1, &QProgressBar::valueChanged, [&](int value) {
        if (!switched && value > 0 && value < 5000) {
          switched = true;
          menu.classicAction().trigger();
        }
      });
  controls.PushButton7.click();
  QObject::disconnect(connection);
  ASSERT_TRUE(switched);

  const auto expectOutputsIn = [&](const CsvFormat& format) {
    for (const QString& input : inputs) {
      const QString output = QStringLiteral("out/") + QFileInfo(input).baseName() + ".xml";
      EXPECT_EQ(harness.readFile(output), EngineOutput(input, format)) << output.toStdString();
    }
  };
  expectOutputsIn(CsvFormat::Standard());
  controls.PushButton7.click();  // the next run takes the choice made meanwhile
  expectOutputsIn(CsvFormat::Classic());
  // Else the two runs could not tell the formats apart.
  EXPECT_NE(EngineOutput(inputs[1], CsvFormat::Standard()),
            EngineOutput(inputs[1], CsvFormat::Classic()));
}

}  // namespace
}  // namespace rowvane::app
