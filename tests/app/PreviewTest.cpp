// The preview window, through the real window offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include "app/controls/XmlHighlighter.h"
#include "app/handlers/PreviewConversion.h"
#include "app/handlers/PreviewWorker.h"
#include "app/menus/FormatMenu.h"
#include "tests/app/WindowHarness.h"

namespace rowvane::app {
namespace {

using testing::Controls;
using testing::Found;

constexpr char kLfOnly[] = "id,name\n7,Ann\n8,Bob\n";

// The classic XML of records with one field, "id", numbered from 1.
QString NumberedRecords(int count) {
  QString xml = QStringLiteral("<XML>\n");
  for (int id = 1; id <= count; ++id) {
    xml += QStringLiteral(" <row>\n  <id>%1</id>\n </row>\n").arg(id);
  }
  return xml + QStringLiteral("</XML>");
}

QByteArray NumberedCsv(int count) {
  QByteArray csv = "id";
  for (int id = 1; id <= count; ++id) {
    csv += "\r\n" + QByteArray::number(id);
  }
  return csv;
}

struct PreviewCase {
  const char* name;
  QByteArray csv;
  bool standard;
  QString xml;
  QString info;  // after the file's name
  const char* templateText = nullptr;
};

void PrintTo(const PreviewCase& row, std::ostream* out) {
  *out << row.name;
}

class PreviewTest : public ::testing::TestWithParam<PreviewCase> {};

// F5 opens the preview of the only entry; it follows a change of the row tag.
TEST_P(PreviewTest, ShowsTheXmlOfTheFirstRecordsAndWhatItFound) {
  testing::WindowHarness harness;
  const auto window = harness.start();
  harness.writeFile(QStringLiteral("in/file.csv"), GetParam().csv);
  Controls(*window).ListView1.listItems().Add(harness.path(QStringLiteral("in/file.csv")));
  if (GetParam().standard) {
    window->findChild<FormatMenu*>()->standardAction().trigger();
  }
  if (GetParam().templateText != nullptr) {
    harness.writeFile(QStringLiteral("in/t.xml"), GetParam().templateText);
    window->findChild<FormatMenu*>()->chooseTemplate(harness.path(QStringLiteral("in/t.xml")));
  }
  window->show();
  QApplication::setActiveWindow(window.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  QTest::keyClick(window.get(), Qt::Key_F5);

  auto& preview = Found<QWidget>(*window, "PreviewWindow");
  auto& text = Found<QPlainTextEdit>(preview, "PreviewText");
  auto& info = Found<QLabel>(preview, "PreviewInfo");
  EXPECT_TRUE(QTest::qWaitFor([&] { return !info.text().isEmpty(); }, 20000));
  EXPECT_EQ(preview.windowTitle(), QStringLiteral("Preview: file.csv"));
  EXPECT_EQ(text.toPlainText(), GetParam().xml);
  EXPECT_EQ(info.text(), QStringLiteral("file.csv \u00b7 ") + GetParam().info);
  const QList<QTextLayout::FormatRange> formats = text.document()->firstBlock().layout()->formats();
  ASSERT_FALSE(formats.isEmpty());
  EXPECT_EQ(formats[0].format.foreground().color(), XmlHighlighter::tagColour());

  if (GetParam().templateText == nullptr) {  // a template names its own elements
    Controls(*window).Text5.setText(QStringLiteral("doc"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return text.toPlainText().contains(QStringLiteral("</doc>")); }, 20000));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, PreviewTest,
    ::testing::Values(
        PreviewCase{"LfOnlyClassic", kLfOnly, false, "<XML>\n</XML>",
                    "UTF-8 \u00b7 line breaks: LF \u00b7 0 records shown \u00b7 This file ends its "
                    "lines with LF only: in Classic CSV it is one line. Choose Standard CSV in "
                    "the Format menu."},
        PreviewCase{"LfOnlyStandard", kLfOnly, true,
                    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<XML>\n <row>\n  <id>7</id>\n"
                    "  <name>Ann</name>\n </row>\n <row>\n  <id>8</id>\n  <name>Bob</name>\n"
                    " </row>\n</XML>",
                    "UTF-8 \u00b7 line breaks: LF \u00b7 2 records shown"},
        PreviewCase{"FiftyOfMany", NumberedCsv(5000), false, NumberedRecords(50),
                    "UTF-8 \u00b7 line breaks: CR LF \u00b7 50 records shown"},
        PreviewCase{
            "Template", "id,name\r\n7,Ann\r\n8,B&b", false,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<orders>\n <order id=\"7\">Ann</order>\n"
            " <order id=\"8\">B&amp;b</order>\n</orders>",
            "UTF-8 \u00b7 line breaks: CR LF \u00b7 2 records shown",
            "<orders xmlns:rv=\"urn:rowvane:layout\">\n <order rv:for-each=\"record\" "
            "id=\"{id}\">{name}</order>\n</orders>"}),
    [](const auto& row) { return std::string(row.param.name); });

// A newer request ends the one being made: only its preview arrives.
TEST(PreviewWorkerTest, OnlyTheNewestRequestIsAnswered) {
  testing::WindowHarness harness;
  harness.writeFile(QStringLiteral("in/big.csv"), NumberedCsv(200000));
  harness.writeFile(QStringLiteral("in/small.csv"), "id\r\n1");
  PreviewWorker worker;
  QSignalSpy ready(&worker, &PreviewWorker::previewReady);
  worker.request({harness.path(QStringLiteral("in/big.csv")), {}, {}});
  worker.request({harness.path(QStringLiteral("in/small.csv")), {}, {}});
  ASSERT_TRUE(ready.wait(20000));
  QTest::qWait(100);
  ASSERT_EQ(ready.count(), 1);
  EXPECT_TRUE(ready[0][0].value<Preview>().info.startsWith(QStringLiteral("small.csv")));
}

// Told at any of its questions that it is no longer wanted, the preview gives
// nothing; never told, it gives the preview.
TEST(PreviewConversionTest, GivesNothingOnceCancelledAtAnyQuestion) {
  testing::WindowHarness harness;
  harness.writeFile(QStringLiteral("in/many.csv"), NumberedCsv(200000));
  const PreviewRequest request{harness.path(QStringLiteral("in/many.csv")), {}, {}};
  int asked = 0;
  ASSERT_TRUE(ConvertForPreview(request, [&] { return ++asked < 0; }).has_value());
  ASSERT_GT(asked, 3);
  for (int answerAt = 1; answerAt <= asked; ++answerAt) {
    int questions = 0;
    EXPECT_FALSE(ConvertForPreview(request, [&] { return ++questions >= answerAt; }).has_value())
        << "cancelled at question " << answerAt << " of " << asked;
  }
}

}  // namespace
}  // namespace rowvane::app
