// What the window says and allows while a layout or schema of the Format menu
// forces well-formed XML or ignores an option, through the real window offscreen.
#include <gtest/gtest.h>

#include <QToolButton>

#include "app/menus/FormatMenu.h"
#include "app/menus/MenuLook.h"
#include "tests/app/WindowHarness.h"

namespace rowvane::app {
namespace {

using testing::Controls;
using testing::Found;
using testing::WindowHarness;

enum class Choice { Elements, Attributes, Template, Schema };

struct ForcedCase {
  const char* label;
  bool standard;  ///< Standard CSV chosen before the layout
  Choice choice;
  const char* words;     ///< the corner's
  const char* forcedBy;  ///< empty: escaping is the user's own
  bool tagsEnabled;      ///< row tag and XML tag
  bool rowTagsEnabled;   ///< "Include row tags in output"
};

void PrintTo(const ForcedCase& row, std::ostream* out) {
  *out << row.label;
}

class ForcedChoicesTest : public ::testing::TestWithParam<ForcedCase> {};

TEST_P(ForcedChoicesTest, AreNamedAndWhatTheyIgnoreIsDisabled) {
  const ForcedCase& row = GetParam();
  WindowHarness harness;
  const auto window = harness.start();
  auto& menu = *window->findChild<FormatMenu*>();
  if (row.standard) {
    menu.standardAction().trigger();
  }
  switch (row.choice) {
    case Choice::Elements:
      break;
    case Choice::Attributes:
      menu.attributesAction().trigger();
      break;
    case Choice::Template:
      harness.writeFile(QStringLiteral("t.xml"),
                        "<o xmlns:rv=\"urn:rowvane:layout\"><i rv:for-each=\"record\">{1}</i></o>");
      menu.chooseTemplate(harness.path(QStringLiteral("t.xml")));
      break;
    case Choice::Schema:
      harness.writeFile(QStringLiteral("s.xsd"),
                        "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">"
                        "<xs:element name=\"XML\"/></xs:schema>");
      menu.chooseSchema(harness.path(QStringLiteral("s.xsd")));
      break;
  }
  const auto& corner = Found<QToolButton>(*window, "FormatCornerButton");
  EXPECT_EQ(WithoutAccessKeyMark(corner.text()), QString::fromUtf8(row.words));
  const QString forcedBy = QString::fromUtf8(row.forcedBy);
  const bool forced = !forcedBy.isEmpty();
  EXPECT_EQ(corner.toolTip().contains(QStringLiteral("Well-formed XML is on: ") + forcedBy), forced)
      << corner.toolTip().toStdString();
  // The preset the user chose stays checked; the forced item says why it is fixed.
  EXPECT_EQ(menu.classicAction().isChecked(), !row.standard);
  EXPECT_EQ(menu.standardAction().isChecked(), row.standard);
  EXPECT_TRUE(menu.escapingAction().isChecked() || !forced);
  EXPECT_EQ(menu.escapingAction().isEnabled(), !forced);
  EXPECT_EQ(menu.escapingAction().statusTip().contains(forcedBy), true);
  EXPECT_EQ(menu.escapingAction().statusTip().startsWith(QStringLiteral("Always on now")), forced);
  // Choosing the other preset takes effect on the reading choices.
  (row.standard ? menu.classicAction() : menu.standardAction()).trigger();
  EXPECT_EQ(menu.standardAction().isChecked(), !row.standard);
  EXPECT_EQ(menu.format().lineBreaks == rowvane::LineBreaks::Any, !row.standard);

  const auto controls = Controls(*window);
  EXPECT_EQ(controls.Text4.isEnabled(), row.tagsEnabled);
  EXPECT_EQ(controls.Text5.isEnabled(), row.tagsEnabled);
  EXPECT_EQ(controls.Check2.isEnabled(), row.rowTagsEnabled);
  EXPECT_EQ(controls.Check2.toolTip().isEmpty(), row.rowTagsEnabled);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, ForcedChoicesTest,
    ::testing::Values(
        ForcedCase{"Elements", false, Choice::Elements, "Classic CSV", "", true, true},
        ForcedCase{"Attributes", false, Choice::Attributes, "Classic CSV \u00b7 Attributes",
                   "attributes need it", true, false},
        ForcedCase{"StandardAttributes", true, Choice::Attributes, "Standard CSV \u00b7 Attributes",
                   "attributes need it", true, false},
        ForcedCase{"Template", false, Choice::Template, "Classic CSV \u00b7 Template: t.xml",
                   "a template needs it", false, false},
        ForcedCase{"Schema", false, Choice::Schema, "Classic CSV \u00b7 Schema: s.xsd",
                   "a schema check needs it", true, true}),
    [](const auto& row) { return std::string(row.param.label); });

}  // namespace
}  // namespace rowvane::app
