#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "app/desktop/FileOpenDialog.h"
#include "app/desktop/FolderDialog.h"
#include "app/desktop/MessageBoxes.h"
#include "app/desktop/PersistentSettings.h"
#include "app/handlers/ApplicationErrorReport.h"

namespace rowvane::app {
namespace {

// Points an environment variable elsewhere for the life of the guard.
class EnvironmentGuard {
 public:
  EnvironmentGuard(const char* name, const QByteArray& value)
      : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
    qputenv(name, value);
  }
  ~EnvironmentGuard() {
    if (m_had) {
      qputenv(m_name, m_old);
    } else {
      qunsetenv(m_name);
    }
  }
  EnvironmentGuard(const EnvironmentGuard&) = delete;
  EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

 private:
  const char* m_name;
  bool m_had;
  QByteArray m_old;
};

struct DesktopCase {
  const char* label;
  const char* userDirsEntry;  ///< line of user-dirs.dirs; none: no such file
  const char* existing;       ///< folder below home that exists; none: none
  const char* expected;       ///< below home; empty: home itself
};

class DesktopFolderTest : public ::testing::TestWithParam<DesktopCase> {};

TEST_P(DesktopFolderTest, IsTheFolderTheDesktopNamesOrElseHome) {
  const DesktopCase& row = GetParam();
  QTemporaryDir root;
  const QString home = root.filePath(QStringLiteral("home"));
  const QString config = root.filePath(QStringLiteral("config"));
  ASSERT_TRUE(QDir().mkpath(home) && QDir().mkpath(config));
  if (row.existing != nullptr) {
    ASSERT_TRUE(QDir(home).mkpath(QString::fromUtf8(row.existing)));
  }
  if (row.userDirsEntry != nullptr) {
    QFile dirs(config + QStringLiteral("/user-dirs.dirs"));
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write(QByteArray(row.userDirsEntry) + '\n');
  }
  const EnvironmentGuard homeGuard("HOME", QFile::encodeName(home));
  const EnvironmentGuard configGuard("XDG_CONFIG_HOME", QFile::encodeName(config));
  const QString expected = *row.expected == '\0'
                               ? QDir::homePath()
                               : home + QLatin1Char('/') + QString::fromUtf8(row.expected);
  EXPECT_EQ(DesktopFolder(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Homes, DesktopFolderTest,
    ::testing::Values(
        DesktopCase{"NamedAndPresent", "XDG_DESKTOP_DIR=\"$HOME/Bureau\"", "Bureau", "Bureau"},
        DesktopCase{"NamedButMissing", "XDG_DESKTOP_DIR=\"$HOME/Bureau\"", "Desktop", ""},
        DesktopCase{"UnnamedAndPresent", nullptr, "Desktop", "Desktop"},
        DesktopCase{"UnnamedAndMissing", nullptr, nullptr, ""}),
    [](const ::testing::TestParamInfo<DesktopCase>& row) { return row.param.label; });

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
