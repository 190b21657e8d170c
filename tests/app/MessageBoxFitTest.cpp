// Every message box the window can show, shown for real offscreen: its
// whole title and its whole text fit, wrapped at a width that suits the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTextDocument>
#include <QTimer>
#include <cmath>
#include <functional>

#include "app/desktop/FittedMessageBox.h"
#include "app/handlers/ApplicationErrorReport.h"
#include "app/menus/FormatMenu.h"
#include "app/menus/HelpMenu.h"
#include "tests/app/WindowHarness.h"

namespace rowvane::app {
namespace {

using testing::Controls;
using testing::ShownMessage;
using testing::WindowHarness;

// A folder name long enough to need more than one line anywhere.
const QString kLongFolder =
    QStringLiteral("in/quarterly reports for the northern region/second half of the year");

// The last box `gesture` makes the window show, recorded instead of shown.
ShownMessage LastBoxOf(const std::function<void(WindowHarness&, MainWindow&)>& gesture) {
  WindowHarness harness;
  const auto window = harness.start();
  gesture(harness, *window);
  if (harness.boxes.shown.empty()) {
    throw std::logic_error("the gesture showed no box");
  }
  return harness.boxes.shown.back();
}

void StartConverting(WindowHarness& harness, MainWindow& window, const QString& input) {
  Controls(window).ListView1.listItems().Add(harness.path(input));
  Controls(window).PushButton7.click();
}

void ChooseTemplate(WindowHarness& harness, MainWindow& window, const QByteArray& text) {
  const QString relative = kLongFolder + QStringLiteral("/orders layout for the warehouse.xml");
  harness.writeFile(relative, text);
  harness.fileDialog.answer = {harness.path(relative)};
  window.findChild<FormatMenu*>()->templateAction().trigger();
}

struct BoxCase {
  const char* label;
  std::function<ShownMessage()> shown;
};

void PrintTo(const BoxCase& row, std::ostream* out) {
  *out << row.label;
}

std::vector<BoxCase> EveryBox() {
  return {
      {"NoFilesAdded",
       [] { return LastBoxOf([](auto&, MainWindow& w) { Controls(w).PushButton7.click(); }); }},
      {"FolderMissing",
       [] {
         return LastBoxOf([](WindowHarness& h, MainWindow& w) {
           Controls(w).Text1.setText(h.path(QStringLiteral("nowhere")));
           StartConverting(h, w, QStringLiteral("in/a.csv"));
         });
       }},
      {"Done",
       [] {
         return LastBoxOf([](WindowHarness& h, MainWindow& w) {
           h.writeFile(QStringLiteral("in/a.csv"), "x\r\n1\r\n");
           Controls(w).Text1.setText(h.outFolder());
           StartConverting(h, w, QStringLiteral("in/a.csv"));
         });
       }},
      {"SamplesQuestion",
       [] { return LastBoxOf([](auto&, MainWindow& w) { Controls(w).PushButton5.click(); }); }},
      {"RefusedFile",
       [] {
         return LastBoxOf([](WindowHarness& h, MainWindow& w) {
           h.fileDialog.answer = {h.path(kLongFolder + QStringLiteral("/gone.csv"))};
           Controls(w).PushButton8.click();
         });
       }},
      {"TooManyFiles",
       [] {
         return ShownMessage{QStringLiteral("Rowvane"),
                             QStringLiteral("You've selected too many files to add.\r\rPlease "
                                            "try adding via the \"Add All\" button."),
                             MessageIcon::None,
                             false,
                             {}};
       }},
      {"ApplicationError",
       [] {
         // An output that cannot be written: a folder stands at its name.
         return LastBoxOf([](WindowHarness& h, MainWindow& w) {
           h.writeFile(kLongFolder + QStringLiteral("/a.csv"), "x\r\n1\r\n");
           QDir().mkpath(h.path(QStringLiteral("out/a.xml/inside")));
           Controls(w).Text1.setText(h.outFolder());
           StartConverting(h, w, kLongFolder + QStringLiteral("/a.csv"));
           h.boxes.shown.pop_back();  // "Done."
         });
       }},
      {"BrokenTemplate",
       [] {
         return LastBoxOf([](WindowHarness& h, MainWindow& w) {
           ChooseTemplate(h, w,
                          "<orders xmlns:rv=\"urn:rowvane:layout\">\n<order rv:for-each=\"record\">"
                          "\n<id>{id}</id>\n<name>{name}</name>\n<total>{total}</totals>\n"
                          "</order>\n</orders>\n");
         });
       }},
      {"BrokenSchema",
       [] {
         return LastBoxOf([](WindowHarness& h, MainWindow& w) {
           const QString relative = kLongFolder + QStringLiteral("/orders schema.xsd");
           h.writeFile(relative,
                       "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">\n"
                       "<xs:element name=\"orders\" type=\"nothing\"/>\n</xs:schema>\n");
           h.fileDialog.answer = {h.path(relative)};
           w.findChild<FormatMenu*>()->schemaAction().trigger();
         });
       }},
      {"FilesNotConverted",
       [] {
         return LastBoxOf([](WindowHarness& h, MainWindow& w) {
           h.writeFile(
               QStringLiteral("layout.xml"),
               "<o xmlns:rv=\"urn:rowvane:layout\"><i rv:for-each=\"record\">{price}</i></o>");
           w.findChild<FormatMenu*>()->chooseTemplate(h.path(QStringLiteral("layout.xml")));
           h.writeFile(QStringLiteral("in/a.csv"), "id\r\n1\r\n");
           Controls(w).Text1.setText(h.outFolder());
           StartConverting(h, w, QStringLiteral("in/a.csv"));
         });
       }},
      {"SamplesCannotBeOpened",
       [] {
         return LastBoxOf([](WindowHarness& h, MainWindow& w) {
           h.boxes.answerYes = true;
           h.folderOpener.opens = false;
           Controls(w).PushButton5.click();
         });
       }},
  };
}

// Inspects the next modal message box once it is up, then answers it.
void InspectNextBox(std::function<void(QMessageBox&)> look) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, [poll, look = std::move(look)] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      return;
    }
    poll->stop();
    poll->deleteLater();
    look(*box);
    box->buttons().front()->click();
  });
  poll->start(10);
}

// What a text needs at `width`, measured apart from the label that shows it.
QSize NeededSize(const QLabel& label, int width) {
  if (label.textFormat() == Qt::PlainText) {
    return QFontMetrics(label.font())
        .boundingRect(QRect(0, 0, width, 1 << 20), Qt::TextWordWrap, label.text())
        .size();
  }
  QTextDocument document;
  document.setDefaultFont(label.font());
  document.setDocumentMargin(0);
  document.setHtml(label.text());
  document.setTextWidth(width);
  return {static_cast<int>(std::ceil(document.idealWidth())),
          static_cast<int>(std::ceil(document.size().height()))};
}

void ExpectWholeTitleAndText(const QMessageBox& box) {
  const QLabel* label = MessageLabelOf(box);
  ASSERT_NE(label, nullptr);
  const QRect area = label->contentsRect();
  const QSize needed = NeededSize(*label, area.width());
  EXPECT_LE(needed.width(), area.width()) << label->text().toStdString();
  EXPECT_LE(needed.height(), area.height()) << label->text().toStdString();
  // The label stands wholly inside the box.
  EXPECT_TRUE(box.rect().contains(QRect(label->mapTo(&box, QPoint(0, 0)), label->size())));
  // The title with room for the title bar's buttons.
  EXPECT_GE(box.width(), QFontMetrics(box.font()).horizontalAdvance(box.windowTitle()) + 100);
  // Wrapped within the screen's share, unless one word is wider than that.
  const int share =
      static_cast<int>(box.screen()->availableGeometry().width() * FittedMessageBox::kWrapShare);
  int widestWord = 0;
  for (const QString& word : label->text().split(QRegularExpression(QStringLiteral("\\s+")))) {
    widestWord = std::max(widestWord, QFontMetrics(label->font()).horizontalAdvance(word));
  }
  EXPECT_LE(label->width(), std::max(share, widestWord + 1)) << label->text().toStdString();
}

class MessageBoxFitTest : public ::testing::TestWithParam<BoxCase> {};

TEST_P(MessageBoxFitTest, ShowsItsWholeTitleAndText) {
  const ShownMessage shown = GetParam().shown();
  QtMessageBoxes boxes;
  bool inspected = false;
  InspectNextBox([&](QMessageBox& box) {
    inspected = true;
    ExpectWholeTitleAndText(box);
  });
  if (!shown.action.isEmpty()) {
    boxes.offerAction(nullptr, shown.title, shown.text, shown.action);
  } else if (shown.question) {
    boxes.askYesNo(nullptr, shown.title, shown.text);
  } else {
    boxes.showMessage(nullptr, shown.title, shown.text, shown.icon);
  }
  EXPECT_TRUE(inspected);
}

INSTANTIATE_TEST_SUITE_P(Boxes, MessageBoxFitTest, ::testing::ValuesIn(EveryBox()),
                         [](const auto& row) { return std::string(row.param.label); });

TEST(AboutBox, ShowsItsWholeTitleAndText) {
  WindowHarness harness;
  const auto window = harness.start();
  bool inspected = false;
  InspectNextBox([&](QMessageBox& box) {
    inspected = true;
    ExpectWholeTitleAndText(box);
    EXPECT_EQ(box.text(), HelpMenu::aboutText());
  });
  window->findChild<HelpMenu*>()->About.trigger();
  EXPECT_TRUE(inspected);
}

}  // namespace
}  // namespace rowvane::app
