#include <QApplication>
#include <QSettings>

#include "app/desktop/FileOpenDialog.h"
#include "app/desktop/FolderDialog.h"
#include "app/desktop/FolderOpener.h"
#include "app/desktop/HomePageOpener.h"
#include "app/desktop/MessageBoxes.h"
#include "app/desktop/OccasionalHomePage.h"
#include "app/desktop/PersistentSettings.h"
#include "app/window/MainWindow.h"
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

  MainWindow window(WindowServices{
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
