// The buttons at the right end of the menu bar, through the real window
// offscreen: whatever they say, every menu stays visible, reachable and clear
// of them, and they never overlap each other.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "app/menus/FileMenu.h"
#include "app/menus/FormatMenu.h"
#include "app/menus/HelpMenu.h"
#include "app/menus/MenuBarCorner.h"
#include "app/menus/ViewMenu.h"
#include "tests/app/WindowHarness.h"

namespace rowvane::app {
namespace {

using testing::Found;
using testing::WindowHarness;

constexpr char kSchema[] =
    "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">"
    "<xs:element name=\"XML\"/></xs:schema>";
constexpr char kTemplate[] =
    "<o xmlns:rv=\"urn:rowvane:layout\"><i rv:for-each=\"record\">{1}</i></o>";

struct CornerCase {
  const char* label;
  const char* templateName;  ///< empty: elements
  const char* schemaName;    ///< empty: none
  int failures;
  int warnings;
};

void PrintTo(const CornerCase& row, std::ostream* out) {
  *out << row.label;
}

class MenuBarCornerTest : public ::testing::TestWithParam<CornerCase> {};

TEST_P(MenuBarCornerTest, LeavesEveryMenuVisibleReachableAndClear) {
  const CornerCase& row = GetParam();
  WindowHarness harness;
  const auto window = harness.start();
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  auto& formatMenu = *window->findChild<FormatMenu*>();
  if (*row.templateName != '\0') {
    harness.writeFile(QStringLiteral("in/") + row.templateName, kTemplate);
    formatMenu.chooseTemplate(harness.path(QStringLiteral("in/") + row.templateName));
  }
  if (*row.schemaName != '\0') {
    harness.writeFile(QStringLiteral("in/") + row.schemaName, kSchema);
    formatMenu.chooseSchema(harness.path(QStringLiteral("in/") + row.schemaName));
  }
  auto& corner = Found<MenuBarCorner>(*window, "MenuBarCorner");
  corner.showProblems(row.failures, row.warnings);
  QApplication::processEvents();

  QMenuBar& bar = *window->menuBar();
  const QList<QToolButton*> buttons{&corner.problemsButton(), &corner.formatButton()};
  QList<QRect> placed;
  for (QToolButton* button : buttons) {
    if (button->isVisible()) {
      placed << QRect(button->mapTo(&bar, QPoint(0, 0)), button->size());
      EXPECT_TRUE(bar.rect().contains(placed.back())) << button->objectName().toStdString();
      // The words shown fit the button.
      EXPECT_LE(QFontMetrics(button->font()).horizontalAdvance(button->text()),
                button->contentsRect().width())
          << button->text().toStdString();
    }
  }
  if (placed.size() == 2) {
    EXPECT_FALSE(placed[0].intersects(placed[1]));
  }
  EXPECT_TRUE(corner.formatButton().toolTip().contains(corner.formatButton().words()));
  const QList<QMenu*> menus{window->findChild<FileMenu*>(), &formatMenu,
                            window->findChild<ViewMenu*>(), window->findChild<HelpMenu*>()};
  for (QMenu* menu : menus) {
    const QRect title = bar.actionGeometry(menu->menuAction());
    ASSERT_FALSE(title.isEmpty()) << menu->title().toStdString();
    EXPECT_TRUE(bar.rect().contains(title)) << menu->title().toStdString();
    for (const QRect& button : placed) {
      EXPECT_FALSE(button.intersects(title)) << menu->title().toStdString();
    }
    // Reachable: a click on its title opens it.
    QTest::mouseClick(&bar, Qt::LeftButton, {}, title.center());
    EXPECT_TRUE(QTest::qWaitForWindowExposed(menu)) << menu->title().toStdString();
    menu->close();
    QApplication::processEvents();
  }
  auto* const extension = bar.findChild<QToolButton*>(QStringLiteral("qt_menubar_ext_button"));
  EXPECT_TRUE(extension == nullptr || !extension->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MenuBarCornerTest,
    ::testing::Values(
        CornerCase{"Plain", "", "", 0, 0}, CornerCase{"Counter", "", "", 12, 3},
        CornerCase{"ShortTemplate", "t.xml", "", 0, 0},
        CornerCase{"LongTemplate",
                   "orders for the northern warehouse laid out for the accounting system.xml", "",
                   0, 0},
        CornerCase{"LongSchema", "", "schema of the accounting system for incoming orders.xsd", 1,
                   0},
        CornerCase{"LongBothAndCounter",
                   "orders for the northern warehouse laid out for the accounting system.xml",
                   "schema of the accounting system for incoming orders.xsd", 1234, 5678}),
    [](const auto& row) { return std::string(row.param.label); });

}  // namespace
}  // namespace rowvane::app
