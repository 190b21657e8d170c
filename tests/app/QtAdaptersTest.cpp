#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "app/desktop/QtFileOpenDialog.h"
#include "app/desktop/QtFolderDialog.h"
#include "app/desktop/QtMessageBoxes.h"
#include "app/handlers/ApplicationErrorReport.h"

namespace rowvane::app {
namespace {

TEST(WithDisplayLineBreaks, TurnsCrLfAndBareCrIntoOneBreakEach) {
  EXPECT_EQ(WithDisplayLineBreaks(QStringLiteral("a\r\nb\r\rc\nd")),
            QStringLiteral("a\nb\n\nc\nd"));
}

// Answers the next modal message box once it is up, after letting `look`
// inspect it.
void AnswerNextBox(QMessageBox::StandardButton answer, std::function<void(QMessageBox&)> look) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, [poll, answer, look = std::move(look)] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      return;
    }
    poll->stop();
    poll->deleteLater();
    look(*box);
    box->button(answer)->click();
  });
  poll->start(10);
}

TEST(QtMessageBoxes, ReportShowsAsAWarningWithItsBreaksAsLines) {
  QtMessageBoxes boxes;
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  Qt::TextFormat format = Qt::AutoText;
  AnswerNextBox(QMessageBox::Ok, [&](QMessageBox& box) {
    title = box.windowTitle();
    text = box.text();
    icon = box.icon();
    buttons = box.standardButtons();
    format = box.textFormat();
  });
  ApplicationErrorReport(boxes, nullptr)
      .ShowApplicationError(QStringLiteral("in Here "), 7, QStringLiteral("<b>bad</b>"));

  EXPECT_EQ(title, QStringLiteral("Application Error"));
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_EQ(format, Qt::PlainText);
  EXPECT_EQ(text,
            QStringLiteral("<b>bad</b>\nin Here at line 7\n\n"
                           "Please email screenshot of this message to support@quorvel.example"));
}

TEST(QtMessageBoxes, PlainMessageHasNoIconAndQuestionsAnswerYesOrNo) {
  QtMessageBoxes boxes;
  QMessageBox::Icon icon = QMessageBox::Warning;
  AnswerNextBox(QMessageBox::Ok, [&](QMessageBox& box) { icon = box.icon(); });
  boxes.showMessage(nullptr, QStringLiteral("Rowvane"), QStringLiteral("Done."), MessageIcon::None);
  EXPECT_EQ(icon, QMessageBox::NoIcon);

  AnswerNextBox(QMessageBox::Yes, [](QMessageBox&) {});
  EXPECT_TRUE(boxes.askYesNo(nullptr, QStringLiteral("Rowvane"), QStringLiteral("Open?")));
  AnswerNextBox(QMessageBox::No, [](QMessageBox&) {});
  EXPECT_FALSE(boxes.askYesNo(nullptr, QStringLiteral("Rowvane"), QStringLiteral("Open?")));
}

struct ChoiceCase {
  const char* chosen;
  const char* folder;
};

class FolderFromChoiceTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(FolderFromChoiceTest, HasNoTrailingSeparatorExceptTheRoot) {
  EXPECT_EQ(FolderFromChoice(QString::fromUtf8(GetParam().chosen)),
            QString::fromUtf8(GetParam().folder));
}

INSTANTIATE_TEST_SUITE_P(Choices, FolderFromChoiceTest,
                         ::testing::Values(ChoiceCase{"", ""}, ChoiceCase{"/", "/"},
                                           ChoiceCase{"/home/ann", "/home/ann"},
                                           ChoiceCase{"/home/ann/", "/home/ann"},
                                           ChoiceCase{"/home/ann//", "/home/ann"}));

// Lets `answer` work the next modal file dialog once it is up.
void AnswerNextFileDialog(std::function<void(QFileDialog&)> answer) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, [poll, answer = std::move(answer)] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
      return;
    }
    poll->stop();
    poll->deleteLater();
    answer(*dialog);
  });
  poll->start(10);
}

TEST(QtFileOpenDialog, OffersCsvFilesAndHandsBackEveryChosenPath) {
  QTemporaryDir folder;
  for (const char* name : {"a.csv", "b.csv", "c.txt"}) {
    QFile file(folder.filePath(QString::fromUtf8(name)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  QString title;
  QStringList filters;
  QFileDialog::FileMode mode = QFileDialog::AnyFile;
  AnswerNextFileDialog([&](QFileDialog& dialog) {
    title = dialog.windowTitle();
    filters = dialog.nameFilters();
    mode = dialog.fileMode();
    dialog.setDirectory(folder.path());
    dialog.selectFile(QStringLiteral("\"b.csv\" \"a.csv\""));
    static_cast<QDialog&>(dialog).accept();  // as the Open button does
  });
  const QStringList chosen = QtFileOpenDialog().chooseFiles(nullptr, QStringLiteral("Pick"),
                                                            QStringLiteral("CSV Files (*.csv)"));
  EXPECT_EQ(title, QStringLiteral("Pick"));
  EXPECT_EQ(filters, QStringList{"CSV Files (*.csv)"});
  EXPECT_EQ(mode, QFileDialog::ExistingFiles);
  EXPECT_EQ(chosen, (QStringList{folder.filePath("b.csv"), folder.filePath("a.csv")}));

  AnswerNextFileDialog([](QFileDialog& dialog) { dialog.reject(); });
  EXPECT_TRUE(QtFileOpenDialog().chooseFiles(nullptr, QStringLiteral("Pick"), QString()).isEmpty());
}

}  // namespace
}  // namespace rowvane::app
