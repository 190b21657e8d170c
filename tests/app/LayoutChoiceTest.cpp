// Templates and schemas chosen in the Format menu, through the real window
// offscreen: taken only when they load, and checked again as a run starts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QProcess>
#include <QToolButton>
#include <ostream>

#include "app/menus/FormatMenu.h"
#include "tests/app/WindowHarness.h"

namespace rowvane::app {
namespace {

using testing::Controls;
using testing::Found;
using testing::WindowHarness;

struct ChoiceCase {
  const char* templateText;  // null: no such file
  const char* message;       // the start of the box's text; empty: taken
  const char* words;         // the corner button's afterwards
};

class TemplateChoiceTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(TemplateChoiceTest, IsTakenOnlyWhenItLoads) {
  WindowHarness harness;
  const auto window = harness.start();
  const QString path = harness.path(QStringLiteral("in/orders.xml"));
  if (GetParam().templateText != nullptr) {
    harness.writeFile(QStringLiteral("in/orders.xml"), GetParam().templateText);
  }
  harness.fileDialog.answer = {path};
  window->findChild<FormatMenu*>()->templateAction().trigger();
  const QString message = QString::fromUtf8(GetParam().message);
  ASSERT_EQ(harness.boxes.shown.size(), message.isEmpty() ? 0u : 1u);
  if (!message.isEmpty()) {
    EXPECT_TRUE(harness.boxes.shown[0].text.startsWith(message))
        << harness.boxes.shown[0].text.toStdString();
  }
  EXPECT_EQ(Found<QToolButton>(*window, "FormatCornerButton").text(),
            QString::fromUtf8(GetParam().words));
}

INSTANTIATE_TEST_SUITE_P(
    Files, TemplateChoiceTest,
    ::testing::Values(
        ChoiceCase{"<o xmlns:rv=\"urn:rowvane:layout\"><i rv:for-each=\"record\">{a}</i></o>", "",
                   "Classic CSV \u00b7 Template: orders.xml"},
        ChoiceCase{"<o xmlns:rv=\"urn:rowvane:layout\">\n<i rv:for-each=\"record\">{a</i></o>",
                   "This template cannot be used:\norders.xml: line 2, column ", "Classic CSV"},
        ChoiceCase{nullptr, "This template cannot be used:\norders.xml: cannot read it",
                   "Classic CSV"},
        ChoiceCase{
            "",
            "This template cannot be used:\norders.xml: line 1, column 1: the template is empty",
            "Classic CSV"}));

// A named pipe chosen as the template or the schema is refused at once: the
// window must not wait for a writer that never comes.
TEST(LayoutFileKinds, APipeIsRefusedWithoutWaiting) {
  WindowHarness harness;
  const auto window = harness.start();
  const QString path = harness.path(QStringLiteral("pipe.xml"));
  ASSERT_EQ(::mkfifo(path.toLocal8Bit().constData(), 0600), 0);
  harness.fileDialog.answer = {path};
  window->findChild<FormatMenu*>()->templateAction().trigger();
  harness.fileDialog.answer = {path};
  window->findChild<FormatMenu*>()->schemaAction().trigger();
  ASSERT_EQ(harness.boxes.shown.size(), 2u);
  EXPECT_TRUE(harness.boxes.shown[0].text.contains(QStringLiteral("not a regular file")))
      << harness.boxes.shown[0].text.toStdString();
  EXPECT_TRUE(harness.boxes.shown[1].text.contains(QStringLiteral("not a regular file")))
      << harness.boxes.shown[1].text.toStdString();
  EXPECT_EQ(Found<QToolButton>(*window, "FormatCornerButton").text(),
            QStringLiteral("Classic CSV"));
}

// A stored template that is gone by the time a run starts is told once, and
// nothing is converted.
TEST(StoredTemplate, GoneAtTheStartOfARunStopsItBeforeAnyFile) {
  WindowHarness harness;
  harness.store().setValue(QStringLiteral("Format/Layout"), QStringLiteral("template"));
  harness.store().setValue(QStringLiteral("Format/Template"), harness.path("gone.xml"));
  harness.writeFile(QStringLiteral("in/a.csv"), "a\r\n1");
  const auto window = harness.start();
  Controls(*window).Text1.setText(harness.outFolder());
  Controls(*window).ListView1.listItems().Add(harness.path(QStringLiteral("in/a.csv")));
  Controls(*window).PushButton7.click();
  ASSERT_EQ(harness.boxes.shown.size(), 1u);
  EXPECT_TRUE(harness.boxes.shown[0].text.startsWith(
      QStringLiteral("Nothing was converted: this file of the Format menu cannot be used:\n"
                     "gone.xml: cannot read it")))
      << harness.boxes.shown[0].text.toStdString();
  EXPECT_TRUE(QDir(harness.outFolder()).isEmpty());
}

// The same bytes as the command line's template for the selected entry and
// the options in force, which are the window's.
TEST(SavedTemplate, IsWhatTheCommandLinePrintsForTheSelectedEntry) {
  WindowHarness harness;
  harness.writeFile(QStringLiteral("in/a.csv"), "id\r\n1");
  harness.writeFile(QStringLiteral("in/b.csv"), "first name,x&y\r\n1,2");
  const auto window = harness.start();
  Controls(*window).ListView1.listItems().Add(harness.path(QStringLiteral("in/a.csv")));
  Controls(*window).ListView1.listItems().Add(harness.path(QStringLiteral("in/b.csv")));
  Controls(*window).ListView1.setCurrentItem(Controls(*window).ListView1.topLevelItem(1));
  Controls(*window).Text4.setText(QStringLiteral("order"));
  harness.saveDialog.answer = harness.path(QStringLiteral("out/t.xml"));
  window->findChild<FormatMenu*>()->saveTemplateAction().trigger();

  QProcess cli;
  cli.start(QStringLiteral(ROWVANE_CLI),
            {QStringLiteral("--print-template"), QStringLiteral("--row-tag"),
             QStringLiteral("order"), harness.path(QStringLiteral("in/b.csv"))});
  ASSERT_TRUE(cli.waitForFinished(60000));
  EXPECT_EQ(harness.readFile(QStringLiteral("out/t.xml")),
            cli.readAllStandardOutput().toStdString());
  EXPECT_TRUE(harness.boxes.shown.empty());
}

enum class Choice { Attributes, Template, Schema };

struct OverrideCase {
  const char* name;
  bool standard;  // "Well-formed XML" checked before the choice
  Choice choice;
  const char* rowTagTip;      // Text4's and Text5's while the choice holds
  const char* rowElementTip;  // Check2's
};

void PrintTo(const OverrideCase& row, std::ostream* out) {
  *out << row.name;
}

class OverriddenControlsTest : public ::testing::TestWithParam<OverrideCase> {};

// While a layout or a schema needs well-formed XML, "Well-formed XML" shows
// checked and cannot be unchecked, and the options without effect say so;
// once the need ends, everything is as it was.
TEST_P(OverriddenControlsTest, SayWhyWhileTheChoiceHoldsAndReturnAfter) {
  WindowHarness harness;
  const auto window = harness.start();
  auto& menu = *window->findChild<FormatMenu*>();
  if (GetParam().standard) {
    menu.standardAction().trigger();
  }
  QAction& wellFormed = menu.escapingAction();
  const auto controls = Controls(*window);
  const auto state = [&] {
    return QStringList{wellFormed.isChecked() ? "checked" : "unchecked",
                       wellFormed.isEnabled() ? "enabled" : "disabled", controls.Text4.toolTip(),
                       controls.Text5.toolTip(), controls.Check2.toolTip()};
  };
  const QStringList before = state();
  EXPECT_EQ(before[1], "enabled");

  harness.writeFile(QStringLiteral("in/t.xml"),
                    "<o xmlns:rv=\"urn:rowvane:layout\"><i rv:for-each=\"record\">{a}</i></o>");
  harness.writeFile(QStringLiteral("in/s.xsd"),
                    "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">"
                    "<xs:element name=\"o\"/></xs:schema>");
  switch (GetParam().choice) {
    case Choice::Attributes:
      menu.attributesAction().trigger();
      break;
    case Choice::Template:
      harness.fileDialog.answer = {harness.path(QStringLiteral("in/t.xml"))};
      menu.templateAction().trigger();
      break;
    case Choice::Schema:
      harness.fileDialog.answer = {harness.path(QStringLiteral("in/s.xsd"))};
      menu.schemaAction().trigger();
      break;
  }
  ASSERT_TRUE(harness.boxes.shown.empty());
  const QString rowTagTip = QString::fromUtf8(GetParam().rowTagTip);
  EXPECT_EQ(state(), (QStringList{"checked", "disabled", rowTagTip, rowTagTip,
                                  QString::fromUtf8(GetParam().rowElementTip)}));

  menu.elementsAction().trigger();
  menu.noSchemaAction().trigger();
  EXPECT_EQ(state(), before);
}

constexpr char kByTemplate[] = "No effect with a template: the template names every element.";

INSTANTIATE_TEST_SUITE_P(
    Choices, OverriddenControlsTest,
    ::testing::Values(OverrideCase{"Attributes", false, Choice::Attributes, "",
                                   "No effect with attributes: each record is a row element."},
                      OverrideCase{"Template", false, Choice::Template, kByTemplate, kByTemplate},
                      OverrideCase{"Schema", false, Choice::Schema, "", ""},
                      OverrideCase{"SchemaInStandard", true, Choice::Schema, "", ""},
                      OverrideCase{"TemplateInStandard", true, Choice::Template, kByTemplate,
                                   kByTemplate}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace rowvane::app
