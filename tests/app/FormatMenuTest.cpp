// The Format menu, offscreen, through real action triggers and a real
// settings file.
#include "app/menus/FormatMenu.h"

#include <gtest/gtest.h>

#include <QMainWindow>
#include <QMenuBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/options/StoredFormat.h"

namespace rowvane::app {
namespace {

enum class Item { Classic, Standard, LineBreaks, Quotes, Escaping };

QAction& ActionOf(FormatMenu& menu, Item item) {
  switch (item) {
    case Item::Classic:
      return menu.classicAction();
    case Item::Standard:
      return menu.standardAction();
    case Item::LineBreaks:
      return menu.lineBreaksAction();
    case Item::Quotes:
      return menu.quotesAction();
    case Item::Escaping:
      break;
  }
  return menu.escapingAction();
}

// Which of the five items show checked, in menu order.
std::vector<bool> CheckedItems(FormatMenu& menu) {
  std::vector<bool> checked;
  for (const Item item :
       {Item::Classic, Item::Standard, Item::LineBreaks, Item::Quotes, Item::Escaping}) {
    checked.push_back(ActionOf(menu, item).isChecked());
  }
  return checked;
}

struct MenuCase {
  const char* name;
  std::vector<Item> triggered;
  CsvFormat format;
  std::vector<bool> checked;
};

void PrintTo(const MenuCase& row, std::ostream* out) {
  *out << row.name;
}

class FormatMenuTest : public ::testing::TestWithParam<MenuCase> {
 protected:
  QString settingsFile() const { return m_folder.filePath(QStringLiteral("Rowvane.conf")); }
  QTemporaryDir m_folder;
};

constexpr CsvFormat kQuotesOnly{LineBreaks::CrLf, Quotes::Double, Escaping::None};
constexpr CsvFormat kAllButEscaping{LineBreaks::Any, Quotes::Double, Escaping::None};

TEST_P(FormatMenuTest, TriggersSetTheChoiceTheChecksAndTheStore) {
  const MenuCase& row = GetParam();
  QSettings store(settingsFile(), QSettings::IniFormat);
  store.setValue(QStringLiteral("Text1"), QStringLiteral("/kept/as/typed"));
  {
    WindowOptions options(store);
    FormatMenu menu(options);
    QSignalSpy changes(&options, &WindowOptions::changed);
    for (const Item item : row.triggered) {
      ActionOf(menu, item).trigger();
    }
    EXPECT_EQ(menu.format(), row.format);
    EXPECT_EQ(options.format(), row.format);
    EXPECT_EQ(CheckedItems(menu), row.checked);
    EXPECT_EQ(changes.size(), static_cast<qsizetype>(row.triggered.size()));
  }
  // A new program start shows the same choice; the output folder is untouched.
  QSettings reopened(settingsFile(), QSettings::IniFormat);
  WindowOptions reopenedOptions(reopened);
  FormatMenu restarted(reopenedOptions);
  EXPECT_EQ(restarted.format(), row.format);
  EXPECT_EQ(CheckedItems(restarted), row.checked);
  EXPECT_EQ(reopened.value(QStringLiteral("Text1")).toString(), QStringLiteral("/kept/as/typed"));
}

INSTANTIATE_TEST_SUITE_P(
    Menu, FormatMenuTest,
    ::testing::Values(
        MenuCase{
            "FreshInstallIsClassic", {}, CsvFormat::Classic(), {true, false, false, false, false}},
        MenuCase{"StandardSetsAllThree",
                 {Item::Standard},
                 CsvFormat::Standard(),
                 {false, true, true, true, true}},
        MenuCase{
            "OneChoiceIsMixed", {Item::Quotes}, kQuotesOnly, {false, false, false, true, false}},
        MenuCase{"AllThreeByHandIsStandard",
                 {Item::LineBreaks, Item::Quotes, Item::Escaping},
                 CsvFormat::Standard(),
                 {false, true, true, true, true}},
        MenuCase{"UncheckingOneLeavesStandard",
                 {Item::Standard, Item::Escaping},
                 kAllButEscaping,
                 {false, false, true, true, false}},
        MenuCase{"ClassicSetsAllThreeBack",
                 {Item::Standard, Item::Classic},
                 CsvFormat::Classic(),
                 {true, false, false, false, false}},
        MenuCase{"TheCheckedPresetStaysChecked",
                 {Item::Classic},
                 CsvFormat::Classic(),
                 {true, false, false, false, false}},
        MenuCase{"StandardTwiceStaysStandard",
                 {Item::Standard, Item::Standard},
                 CsvFormat::Standard(),
                 {false, true, true, true, true}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(FormatMenuStore, UnknownStoredWordsReadAsClassic) {
  QTemporaryDir folder;
  QSettings store(folder.filePath(QStringLiteral("Rowvane.conf")), QSettings::IniFormat);
  store.setValue(QStringLiteral("Format/LineBreaks"), QStringLiteral("lf"));
  store.setValue(QStringLiteral("Format/Quotes"), 7);
  store.setValue(QStringLiteral("Format/Escaping"), QStringLiteral("xml"));
  EXPECT_EQ(LoadFormat(store), (CsvFormat{LineBreaks::CrLf, Quotes::None, Escaping::Xml}));
}

TEST(FormatMenuKeyboard, AltOOpensTheMenuAboveTheWindow) {
  QTemporaryDir folder;
  QSettings store(folder.filePath(QStringLiteral("Rowvane.conf")), QSettings::IniFormat);
  QMainWindow window;
  WindowOptions options(store);
  FormatMenu menu(options, &window);
  window.menuBar()->addMenu(&menu);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QTest::keyClick(&window, Qt::Key_O, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&menu] { return menu.isVisible(); }));
  menu.close();
}

}  // namespace
}  // namespace rowvane::app
