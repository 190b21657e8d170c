// The preview window, through the real window offscreen.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <array>

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

// Shows `window`, presses F5 and waits for the preview's line.
QWidget& PreviewOf(MainWindow& window) {
  window.show();
  QApplication::setActiveWindow(&window);
  EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
  QTest::keyClick(&window, Qt::Key_F5);
  auto& preview = Found<QWidget>(window, "PreviewWindow");
  auto& info = Found<QLabel>(preview, "PreviewInfo");
  EXPECT_TRUE(QTest::qWaitFor([&] { return !info.text().isEmpty(); }, 20000));
  return preview;
}

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
  auto& preview = PreviewOf(*window);
  auto& text = Found<QPlainTextEdit>(preview, "PreviewText");
  auto& info = Found<QLabel>(preview, "PreviewInfo");
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
            "id=\"{id}\">{name}</order>\n</orders>"},
        // Totals count what the preview converts: the records it shows.
        PreviewCase{
            "TotalsOfTheRecordsShown", NumberedCsv(5000), false,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<t n=\"50\" last=\"50\"></t>",
            "UTF-8 \u00b7 line breaks: CR LF \u00b7 50 records shown \u00b7 totals over the "
            "records shown",
            "<t xmlns:rv=\"urn:rowvane:layout\" n=\"{= count() }\" last=\"{= last([id]) }\">"
            "<i rv:for-each=\"record\" rv:if=\"\"/></t>"}),
    [](const auto& row) { return std::string(row.param.name); });

constexpr char kTemplate[] =
    "<o xmlns:rv=\"urn:rowvane:layout\">\n<i rv:for-each=\"record\">{id}</i></o>";
constexpr char kSchema[] =
    "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\"><xs:element name=\"o\"/></xs:schema>";

// The line is the output's; the records checked are told only when the file
// has more.
constexpr char kRefusedShort[] =
    "%1/s.xsd: output line 2: Element 'XML': No matching global declaration available for the "
    "validation root.";
constexpr char kRefused[] =
    "%1/s.xsd: output line 2: Element 'XML': No matching global declaration available for the "
    "validation root.\n\nOnly the first 50 records were checked.";

struct ProblemCase {
  const char* name;
  int records;
  const char* templateText;  // chosen, then rewritten so; null: elements
  const char* schemaText;    // chosen, then rewritten so; null: no schema
  const char* shown;         // %1: the folder of the files
  const char* info = "file.csv";
};

void PrintTo(const ProblemCase& row, std::ostream* out) {
  *out << row.name;
}

class PreviewProblemTest : public ::testing::TestWithParam<ProblemCase> {};

// A template or schema that cannot be used, or a start that the schema
// refuses, shows in place of the XML.
TEST_P(PreviewProblemTest, ShowsInPlaceOfTheXml) {
  testing::WindowHarness harness;
  const auto window = harness.start();
  harness.writeFile(QStringLiteral("in/file.csv"), NumberedCsv(GetParam().records));
  Controls(*window).ListView1.listItems().Add(harness.path(QStringLiteral("in/file.csv")));
  auto& menu = *window->findChild<FormatMenu*>();
  if (GetParam().templateText != nullptr) {
    harness.writeFile(QStringLiteral("in/t.xml"), kTemplate);
    menu.chooseTemplate(harness.path(QStringLiteral("in/t.xml")));
    harness.writeFile(QStringLiteral("in/t.xml"), GetParam().templateText);
  }
  if (GetParam().schemaText != nullptr) {
    harness.writeFile(QStringLiteral("in/s.xsd"), kSchema);
    menu.chooseSchema(harness.path(QStringLiteral("in/s.xsd")));
    harness.writeFile(QStringLiteral("in/s.xsd"), GetParam().schemaText);
  }
  auto& preview = PreviewOf(*window);
  EXPECT_EQ(Found<QLabel>(preview, "PreviewInfo").text(), QString::fromUtf8(GetParam().info));
  auto& text = Found<QPlainTextEdit>(preview, "PreviewText");
  EXPECT_EQ(text.toPlainText(),
            QString::fromUtf8(GetParam().shown)
                .replace(QStringLiteral("%1"), harness.path(QStringLiteral("in"))));
  // A problem wraps at the window's width; XML keeps its lines.
  EXPECT_EQ(text.lineWrapMode() == QPlainTextEdit::WidgetWidth,
            !text.toPlainText().startsWith(QStringLiteral("<?xml")));
}

INSTANTIATE_TEST_SUITE_P(
    Files, PreviewProblemTest,
    ::testing::Values(
        ProblemCase{"TemplateNotWellFormed", 1, "<o>\n<i>{id</o>", nullptr,
                    "t.xml: line 2, column 11: Opening and ending tag mismatch: i line 2 and o"},
        ProblemCase{"SchemaRefusesAShortFile", 1, nullptr, kSchema, kRefusedShort},
        ProblemCase{"SchemaRefusesTheFirst50", 60, nullptr, kSchema, kRefused},
        ProblemCase{"SchemaAcceptsTheStart", 1, kTemplate, kSchema,
                    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<o>\n<i>1</i></o>",
                    "file.csv \u00b7 UTF-8 \u00b7 line breaks: CR LF \u00b7 1 record shown"},
        ProblemCase{"SchemaNotASchema", 1, nullptr, "<o/>",
                    "%1/s.xsd: The XML document '%1/s.xsd' is not a schema document."}),
    [](const auto& row) { return std::string(row.param.name); });

// Tells when a file that was open for reading is closed.
class ReadClosedWatch {
 public:
  explicit ReadClosedWatch(const QString& path) : m_fd(::inotify_init1(IN_CLOEXEC)) {
    ::inotify_add_watch(m_fd, QFile::encodeName(path).constData(), IN_CLOSE_NOWRITE);
  }
  ~ReadClosedWatch() { ::close(m_fd); }
  ReadClosedWatch(const ReadClosedWatch&) = delete;
  ReadClosedWatch& operator=(const ReadClosedWatch&) = delete;

  bool waitForClose() {
    pollfd ready{m_fd, POLLIN, 0};
    std::array<char, 4096> events{};
    return ::poll(&ready, 1, 20000) == 1 && ::read(m_fd, events.data(), events.size()) > 0;
  }

 private:
  int m_fd;
};

// 56 records of 19 000 letters: more than is read, and the first 50 give
// more XML than is shown. Finding them takes a good many conversions.
QByteArray LongRecords() {
  QByteArray csv = "v";
  for (int record = 0; record < 56; ++record) {
    csv += "\r\n" + QByteArray(19000, static_cast<char>('a' + record % 26));
  }
  return csv;
}

// The start of the XML is shown, and says so; closing the preview while it is
// being made, or the window, shows nothing and ends it.
TEST(PreviewOfALongStart, ShowsTheFirst256KiBAndEndsWhenClosed) {
  testing::WindowHarness harness;
  const QString path = harness.path(QStringLiteral("in/long.csv"));
  harness.writeFile(QStringLiteral("in/long.csv"), LongRecords());
  auto window = harness.start();
  Controls(*window).ListView1.listItems().Add(path);
  QElapsedTimer made;
  made.start();
  auto& preview = PreviewOf(*window);
  const qint64 madeIn = made.elapsed();
  auto& info = Found<QLabel>(preview, "PreviewInfo");
  auto& text = Found<QPlainTextEdit>(preview, "PreviewText");
  EXPECT_EQ(info.text(),
            QStringLiteral("long.csv \u00b7 UTF-8 (first 1 MB) \u00b7 line breaks: CR LF "
                           "\u00b7 50 records shown \u00b7 the first 256 KB of the XML"));
  QString xml = QStringLiteral("<XML>\r\n");
  for (int record = 0; record < 50; ++record) {
    xml += QStringLiteral(" <row>\r\n  <v>%1</v>\r\n </row>\r\n")
               .arg(QString(19000, QLatin1Char(static_cast<char>('a' + record % 26))));
  }
  EXPECT_EQ(text.toPlainText(),
            xml.left(256 << 10).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

  QStringList shownAfterClose;
  QObject::connect(&text, &QPlainTextEdit::textChanged, &text,
                   [&] { shownAfterClose << info.text(); });
  ReadClosedWatch read(path);
  for (const bool wholeWindow : {false, true}) {
    preview.close();
    QApplication::setActiveWindow(window.get());
    QTest::keyClick(window.get(), Qt::Key_F5);
    ASSERT_TRUE(read.waitForClose());  // read: the conversions are under way
    if (wholeWindow) {
      window.reset();  // waits for the preview's thread
    } else {
      preview.close();
      QTest::qWait(static_cast<int>(2 * madeIn) + 200);  // ample to finish it
      EXPECT_EQ(shownAfterClose, QStringList{});
    }
  }
}

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
