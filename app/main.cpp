#include <QApplication>
#include <QSettings>

#include "Form1.h"
#include "HomePageOpener.h"
#include "OccasionalHomePage.h"
#include "PersistentSettings.h"
#include "QtFolderDialog.h"
#include "QtMessageBoxes.h"

int main(int argc, char* argv[]) {
  using namespace rowvane::app;
  QApplication application(argc, argv);

  QtMessageBoxes messageBoxes;
  QtFolderDialog folderDialog;
  DesktopHomePageOpener homePageOpener;
  const std::unique_ptr<QSettings> store = OpenUserSettings();
  PersistentSettings settings(*store);

  Form1 window(WindowServices{
      .messageBoxes = messageBoxes,
      .folderDialog = folderDialog,
      .settings = settings,
      .homePageOpener = homePageOpener,
      .randomFraction = ClockSeededFraction(),
      .desktopFolder = DesktopFolder,
      .programFolder = QCoreApplication::applicationDirPath(),
  });
  window.show();
  // Closing the window, the last one, ends the program.
  return application.exec();
}
