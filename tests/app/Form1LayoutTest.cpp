#include <gtest/gtest.h>

#include <QHeaderView>
#include <QMenuBar>
#include <QTest>

#include "tests/app/WindowHarness.h"

namespace rowvane::app {
namespace {

using testing::Controls;
using testing::FormOf;
using testing::WindowHarness;

// One row of the design table: the control, its container, its place in
// pixels (twips / 15) and its caption or initial text.
struct ControlCase {
  const char* name;
  const char* container;
  QRect pixels;
  const char* caption;
};

class Form1LayoutTest : public ::testing::TestWithParam<ControlCase> {
 protected:
  WindowHarness harness;
  std::unique_ptr<MainWindow> form = harness.start();
};

QString CaptionOf(const QWidget& control) {
  if (const auto* button = qobject_cast<const QAbstractButton*>(&control)) {
    return button->text();
  }
  if (const auto* frame = qobject_cast<const QGroupBox*>(&control)) {
    return frame->title();
  }
  if (const auto* box = qobject_cast<const QLineEdit*>(&control)) {
    return box->text();
  }
  if (const auto* bar = qobject_cast<const QProgressBar*>(&control)) {
    return bar->text();
  }
  return control.toolTip();
}

TEST_P(Form1LayoutTest, ControlStandsInItsContainerWithItsCaption) {
  const ControlCase& expected = GetParam();
  const auto* control = form->findChild<QWidget*>(QString::fromLatin1(expected.name));
  ASSERT_NE(control, nullptr) << expected.name;
  EXPECT_EQ(control->parentWidget()->objectName(), QString::fromLatin1(expected.container));
  EXPECT_EQ(control->geometry(), expected.pixels);
  EXPECT_EQ(CaptionOf(*control), QString::fromUtf8(expected.caption));
}

INSTANTIATE_TEST_SUITE_P(
    DesignTable, Form1LayoutTest,
    ::testing::Values(
        ControlCase{"ListView1",
                    "Form1",
                    {8, 8, 520, 169},
                    "Drag and drop files here. Double-click item to remove it. Move | line to "
                    "right and out of window to reveal full names."},
        ControlCase{"PushButton8", "Form1", {8, 183, 256, 27}, "Add CSV File(s)"},
        ControlCase{"PushButton9", "Form1", {272, 183, 256, 27}, "Add All CSV File(s) In Folder"},
        ControlCase{"PushButton4", "Form1", {8, 217, 256, 27}, "Clear List"},
        ControlCase{"PushButton5", "Form1", {272, 217, 256, 27}, "Load Sample/Example Files"},
        ControlCase{"Frame1", "Form1", {8, 247, 520, 107}, "Input Options"},
        ControlCase{"Check1", "Frame1", {15, 20, 225, 17}, "There is a header row in CSVs"},
        ControlCase{
            "Frame3", "Frame1", {16, 42, 489, 53}, "Separating character or characters in CSVs"},
        ControlCase{"Text3", "Frame3", {16, 20, 456, 23}, ","},
        ControlCase{"Frame2", "Form1", {8, 359, 520, 165}, "XML Output Options"},
        ControlCase{"Check2", "Frame2", {16, 20, 217, 17}, "Include row tags in output"},
        ControlCase{"Frame4", "Frame2", {16, 42, 489, 53}, "Row tag:"},
        ControlCase{"Text4", "Frame4", {16, 20, 456, 23}, "row"},
        ControlCase{"Frame5", "Frame2", {16, 100, 489, 53}, "XML tag:"},
        ControlCase{"Text5", "Frame5", {16, 20, 456, 23}, "XML"},
        ControlCase{"Frame6", "Form1", {8, 530, 520, 54}, "Save Results To This Folder"},
        ControlCase{"PushButton1", "Frame6", {456, 20, 48, 23}, "..."},
        ControlCase{"PushButton7", "Form1", {8, 592, 520, 27}, "Start Converting"},
        ControlCase{"ProgressBar1", "Form1", {8, 627, 520, 27}, "Progress Bar"}),
    [](const ::testing::TestParamInfo<ControlCase>& row) { return row.param.name; });

class Form1WindowTest : public ::testing::Test {
 protected:
  WindowHarness harness;
  std::unique_ptr<MainWindow> form = harness.start();
};

TEST_F(Form1WindowTest, WindowIsFixedWithoutMaximizeAndNamedAfterTheProduct) {
  EXPECT_EQ(FormOf(*form).size(), QSize(536, 661));
  EXPECT_EQ(form->size(), QSize(536, 661 + form->menuBar()->sizeHint().height()));
  EXPECT_EQ(form->minimumSize(), form->maximumSize());
  EXPECT_FALSE(form->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(form->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Rowvane"));
  EXPECT_EQ(FormOf(*form).applicationTitle(), QStringLiteral("Rowvane"));
  EXPECT_FALSE(form->windowIcon().isNull());
}

// The bar moves nothing inside the client area: the window grows by the
// bar's height.
TEST_F(Form1WindowTest, MenuBarSitsAboveTheUnchangedClientArea) {
  const QMenuBar* bar = form->menuBar();
  QStringList menus;
  for (const QAction* menu : bar->actions()) {
    menus << menu->text();
  }
  EXPECT_EQ(menus, QStringList({"&File", "F&ormat", "&View", "&Help"}));
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  ASSERT_GT(bar->height(), 0);
  const Form1& client = FormOf(*form);
  EXPECT_EQ(client.geometry(), QRect(0, bar->height(), 536, 661));
  EXPECT_EQ(Controls(*form).PushButton7.geometry(), QRect(8, 592, 520, 27));
  EXPECT_EQ(form->size(), QSize(536, 661 + bar->height()));
  EXPECT_EQ(form->minimumSize(), form->maximumSize());
}

TEST_F(Form1WindowTest, OptionsStartAtTheirInitialValues) {
  EXPECT_TRUE(Controls(*form).Check1.isChecked());
  EXPECT_TRUE(Controls(*form).Check2.isChecked());
  EXPECT_EQ(Controls(*form).ProgressBar1.percent(), 0.0);
  EXPECT_EQ(FormOf(*form).MousePointer(), 0);
  EXPECT_EQ(Controls(*form).ListView1.listItems().Count(), 0);
}

TEST_F(Form1WindowTest, ListHasOneColumnOf7000Twips) {
  EXPECT_EQ(Controls(*form).ListView1.columnCount(), 1);
  EXPECT_EQ(Controls(*form).ListView1.headerItem()->text(0), QStringLiteral("CSV File(s)"));
  EXPECT_EQ(Controls(*form).ListView1.columnWidth(0), 467);
  EXPECT_FALSE(Controls(*form).ListView1.rootIsDecorated());
}

TEST_F(Form1WindowTest, TabGoesThroughTheControlsInDesignOrder) {
  const QStringList expected{"ListView1",   "PushButton8", "PushButton9", "PushButton4",
                             "PushButton5", "Check1",      "Check2",      "PushButton7",
                             "Text3",       "Text4",       "Text5",       "Text1",
                             "PushButton1"};
  QStringList order;
  QWidget* widget = &Controls(*form).ListView1;
  do {
    if (widget->focusPolicy() & Qt::TabFocus) {
      order << widget->objectName();
    }
    widget = widget->nextInFocusChain();
  } while (widget != &Controls(*form).ListView1);
  EXPECT_EQ(order, expected);
}

TEST_F(Form1WindowTest, WithoutSkinTheWindowFramesAndCheckBoxesAreWhite) {
  EXPECT_FALSE(FormOf(*form).skinApplied());
  for (const QWidget* surface :
       {static_cast<QWidget*>(&FormOf(*form)), static_cast<QWidget*>(&Controls(*form).Frame4),
        static_cast<QWidget*>(&Controls(*form).Check2)}) {
    EXPECT_EQ(surface->palette().color(surface->backgroundRole()), QColor(Qt::white));
  }
}

}  // namespace
}  // namespace rowvane::app
