#include <QApplication>
#include <QSettings>

#include "FolderOpener.h"
#include "Form1.h"
#include "HomePageOpener.h"
#include "OccasionalHomePage.h"
#include "PersistentSettings.h"
#include "PosixFileSystem.h"
#include "ProcessSignals.h"
#include "QtFileOpenDialog.h"
#include "QtFolderDialog.h"
#include "QtMessageBoxes.h"

int main(int argc, char* argv[]) {
  using namespace rowvane::app;
  rowvane::LetOversizedWritesFail();
  QApplication application(argc, argv);

  QtMessageBoxes messageBoxes;
  QtFolderDialog folderDialog;
  QtFileOpenDialog fileDialog;
  DesktopHomePageOpener homePageOpener;
  DesktopFolderOpener folderOpener;
  const rowvane::PosixFileSystem fileSystem;
  const std::unique_ptr<QSettings> store = OpenUserSettings();
  PersistentSettings settings(*store);

  Form1 window(WindowServices{
      .messageBoxes = messageBoxes,
      .folderDialog = folderDialog,
      .fileDialog = fileDialog,
      .settings = settings,
      .homePageOpener = homePageOpener,
      .folderOpener = folderOpener,
      .fileSystem = fileSystem,
      .randomFraction = ClockSeededFraction(),
      .desktopFolder = DesktopFolder,
      // The folder of the program file itself, also when started through a
      // link to it.
      .programFolder = QCoreApplication::applicationDirPath(),
  });
  window.show();
  // Closing the window, the last one, ends the program.
  return application.exec();
}
