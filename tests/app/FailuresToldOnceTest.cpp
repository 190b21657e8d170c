// With the Format menu's attributes, a template or a schema in force, a run
// tells its failed files once, at its end, through the real window offscreen;
// without them it reports each failure as it always did.
#include <gtest/gtest.h>

#include <QTest>

#include "app/menus/FormatMenu.h"
#include "tests/app/WindowHarness.h"

namespace rowvane::app {
namespace {

using testing::Controls;
using testing::FormOf;
using testing::Found;
using testing::WindowHarness;

constexpr char kPriceTemplate[] =
    "<o xmlns:rv=\"urn:rowvane:layout\"><i rv:for-each=\"record\">{price}</i></o>";
constexpr char kOrdersSchema[] =
    "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">"
    "<xs:element name=\"orders\"/></xs:schema>";

enum class Choice { Elements, Attributes, Template, Schema };

struct RunCase {
  const char* label;
  Choice choice;
  int fitting;            ///< files that convert
  int misfits;            ///< files without a price (the template) or any (the schema)
  int vanished;           ///< listed files that are not there
  const char* endText;    ///< the one box at the end
  int applicationErrors;  ///< reports shown on the way
};

void PrintTo(const RunCase& row, std::ostream* out) {
  *out << row.label;
}

class FailuresToldOnceTest : public ::testing::TestWithParam<RunCase> {
 protected:
  void choose(Choice choice) {
    auto& menu = *window->findChild<FormatMenu*>();
    switch (choice) {
      case Choice::Elements:
        break;
      case Choice::Attributes:
        menu.attributesAction().trigger();
        break;
      case Choice::Template:
        harness.writeFile(QStringLiteral("layout.xml"), kPriceTemplate);
        menu.chooseTemplate(harness.path(QStringLiteral("layout.xml")));
        break;
      case Choice::Schema:
        harness.writeFile(QStringLiteral("orders.xsd"), kOrdersSchema);
        menu.chooseSchema(harness.path(QStringLiteral("orders.xsd")));
        break;
    }
  }

  void list(const QString& name, const QByteArray* text) {
    if (text != nullptr) {
      harness.writeFile(QStringLiteral("in/") + name, *text);
    }
    Controls(*window).ListView1.listItems().Add(harness.path(QStringLiteral("in/") + name));
  }

  WindowHarness harness;
  std::unique_ptr<MainWindow> window = harness.start();
};

TEST_P(FailuresToldOnceTest, EndsWithOneBoxThatCountsThem) {
  const RunCase& row = GetParam();
  choose(row.choice);
  const QByteArray fitting("price\r\n3\r\n");
  const QByteArray misfit("id\r\n3\r\n");
  for (int i = 0; i < row.fitting; ++i) {
    list(QStringLiteral("fit%1.csv").arg(i), &fitting);
  }
  for (int i = 0; i < row.misfits; ++i) {
    list(QStringLiteral("misfit%1.csv").arg(i), &misfit);
  }
  for (int i = 0; i < row.vanished; ++i) {
    list(QStringLiteral("gone%1.csv").arg(i), nullptr);
  }
  Controls(*window).Text1.setText(harness.outFolder());
  harness.boxes.chooseAction = true;
  Controls(*window).PushButton7.click();

  ASSERT_FALSE(harness.boxes.shown.empty());
  int reports = 0;
  for (const auto& box : harness.boxes.shown) {
    reports += box.title == QStringLiteral("Application Error") ? 1 : 0;
  }
  EXPECT_EQ(reports, row.applicationErrors);
  const auto& last = harness.boxes.shown.back();
  EXPECT_EQ(last.text, QString::fromUtf8(row.endText));
  EXPECT_EQ(last.title, QStringLiteral("Rowvane"));
  const bool counted = !last.action.isEmpty();
  EXPECT_EQ(counted, last.text != QStringLiteral("Done."));
  // The offered button brings up the log, which holds every file.
  EXPECT_EQ(Found<QWidget>(*window, "ConversionLogWindow").isVisible(), counted);
  EXPECT_EQ(FormOf(*window).conversionLog().rowCount(), row.fitting + row.misfits + row.vanished);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, FailuresToldOnceTest,
    ::testing::Values(
        RunCase{"TemplateMisfits", Choice::Template, 1, 12, 0,
                "Done. 12 of 13 files were not converted. The conversion log says why.", 0},
        RunCase{"TemplateAllFit", Choice::Template, 3, 0, 0, "Done.", 0},
        RunCase{"SchemaMisfits", Choice::Schema, 0, 2, 0,
                "Done. 2 of 2 files were not converted. The conversion log says why.", 0},
        RunCase{"AttributesVanished", Choice::Attributes, 1, 0, 1,
                "Done. 1 of 2 files were not converted. The conversion log says why.", 0},
        // As the window always did: a missing file is passed over in silence.
        RunCase{"ElementsVanished", Choice::Elements, 1, 0, 1, "Done.", 0}),
    [](const auto& row) { return std::string(row.param.label); });

}  // namespace
}  // namespace rowvane::app
