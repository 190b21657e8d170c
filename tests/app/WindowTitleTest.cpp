#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/desktop/FileOpenDialog.h"
#include "app/desktop/MessageBoxes.h"
#include "tests/app/WindowHarness.h"

namespace rowvane::app {
namespace {

using testing::WindowHarness;

// The title the X server holds for a top-level window, which is what the
// window manager shows: xprop prints it as _NET_WM_NAME = "...".
QString XWindowTitle(const QWidget& window) {
  QProcess xprop;
  xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window.winId()),
                                        QStringLiteral("-notype"), QStringLiteral("_NET_WM_NAME")});
  if (!xprop.waitForFinished()) {
    return QStringLiteral("<xprop did not finish>");
  }
  const QString line = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
  const qsizetype open = line.indexOf(QLatin1Char('"'));
  const qsizetype close = line.lastIndexOf(QLatin1Char('"'));
  return open >= 0 && close > open ? line.mid(open + 1, close - open - 1) : QString();
}

// Waits for the next modal dialog, reads its X title once the server has it,
// and closes the dialog.
void ReadTitleOfNextDialog(QString& title) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, [poll, &title, attempts = 0]() mutable {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible()) {
      return;
    }
    title = XWindowTitle(*dialog);
    if (title.isEmpty() && ++attempts < 100) {
      return;  // the server has not been told yet
    }
    poll->deleteLater();
    dialog->reject();
  });
  poll->start(20);
}

struct TitleCase {
  const char* button;
  const char* title;
};

class WindowTitleTest : public ::testing::TestWithParam<TitleCase> {
 protected:
  WindowHarness harness;
  QtMessageBoxes boxes;
  QtFileOpenDialog fileDialog;
};

TEST_P(WindowTitleTest, DialogTitleIsExactlyItsOwnText) {
  const WindowServices scripted = harness.services();
  // A failing folder dialog makes the folder button show the error report.
  harness.folderDialog.fails = true;
  MainWindow form(WindowServices{
      .messageBoxes = boxes,
      .folderDialog = scripted.folderDialog,
      .fileDialog = fileDialog,
      .saveDialog = scripted.saveDialog,
      .settings = scripted.settings,
      .store = scripted.store,
      .homePageOpener = scripted.homePageOpener,
      .folderOpener = scripted.folderOpener,
      .fileViewer = scripted.fileViewer,
      .fileSystem = scripted.fileSystem,
      .randomFraction = scripted.randomFraction,
      .desktopFolder = scripted.desktopFolder,
      .programFolder = scripted.programFolder,
  });
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

  QString title;
  ReadTitleOfNextDialog(title);
  auto* button = form.findChild<QPushButton*>(QString::fromLatin1(GetParam().button));
  ASSERT_NE(button, nullptr);
  button->click();
  EXPECT_EQ(title, QString::fromUtf8(GetParam().title));
  EXPECT_EQ(XWindowTitle(form), QStringLiteral("Rowvane"));
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, WindowTitleTest,
    ::testing::Values(TitleCase{"PushButton1", "Application Error"},
                      TitleCase{"PushButton8", "Add File(s) - Hold Ctrl to select multiple files"}),
    [](const ::testing::TestParamInfo<TitleCase>& row) { return row.param.button; });

}  // namespace
}  // namespace rowvane::app
