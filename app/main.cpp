#include <QApplication>
#include <QSettings>

#include "app/desktop/FolderOpener.h"
#include "app/desktop/HomePageOpener.h"
#include "app/desktop/OccasionalHomePage.h"
#include "app/desktop/PersistentSettings.h"
#include "app/desktop/QtFileOpenDialog.h"
#include "app/desktop/QtFolderDialog.h"
#include "app/desktop/QtMessageBoxes.h"
#include "app/window/Form1.h"
#include "engine/ProcessSignals.h"
#include "filelist/PosixFileSystem.h"

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
