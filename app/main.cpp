#include <QApplication>
#include <QDir>
#include <QSettings>
#include <cstdio>
#include <optional>
#include <variant>

#include "app/desktop/CommandLineFiles.h"
#include "app/desktop/FileOpenDialog.h"
#include "app/desktop/FileSaveDialog.h"
#include "app/desktop/FileViewer.h"
#include "app/desktop/FolderDialog.h"
#include "app/desktop/FolderOpener.h"
#include "app/desktop/HomePageOpener.h"
#include "app/desktop/MessageBoxes.h"
#include "app/desktop/OccasionalHomePage.h"
#include "app/desktop/PersistentSettings.h"
#include "app/desktop/ProductInfo.h"
#include "app/desktop/ProgramArguments.h"
#include "app/desktop/SingleInstance.h"
#include "app/window/MainWindow.h"
#include "engine/Files.h"
#include "filelist/PosixFileSystem.h"

namespace {

int PrintAnswer(const rowvane::app::AnswerAndExit& answer) {
  std::FILE* stream = answer.exitStatus == 0 ? stdout : stderr;
  std::fputs(answer.text.c_str(), stream);
  return std::fflush(stream) == 0 ? answer.exitStatus : 1;
}

// The files stay with this window; the user learns why no running one took them.
void SayWhyAlone(const QString& problem) {
  std::fprintf(stderr, "rowvane: no hand-over between windows: %s; this window works alone.\n",
               qUtf8Printable(problem));
}

}  // namespace

int main(int argc, char* argv[]) {
  using namespace rowvane::app;
  rowvane::LetOversizedWritesFail();
  // Help and the version need no display, so they come before any Qt.
  const ProgramArguments arguments = ParseProgramArguments(argc, argv);
  if (const auto* answer = std::get_if<AnswerAndExit>(&arguments)) {
    return PrintAnswer(*answer);
  }
  const QStringList& startFiles = std::get<StartWindow>(arguments).files;
  const HandOverFolder handOverFolder = UserHandOverFolder();
  if (!handOverFolder.usable()) {
    SayWhyAlone(handOverFolder.problem);
  }
  HandOverLock listenerLock(handOverFolder.usable() ? handOverFolder.lockPath() : QString());
  // Whoever holds the lock is the listening window, or is about to be.
  if (!startFiles.isEmpty() && handOverFolder.usable() && !listenerLock.take()) {
    const HandOverAnswer answer =
        SingleInstance::handOver(handOverFolder, startFiles, QDir::currentPath());
    if (answer.taken) {
      return 0;
    }
    if (!answer.problem.isEmpty()) {
      SayWhyAlone(answer.problem);
    }
  }

  // The arguments were read above; Qt sees none, so that a file name never
  // passes for one of its own options.
  int qtArgumentCount = 1;
  QApplication application(qtArgumentCount, argv);
  QGuiApplication::setDesktopFileName(QString::fromUtf8(kDesktopId));

  QtMessageBoxes messageBoxes;
  QtFolderDialog folderDialog;
  QtFileOpenDialog fileDialog;
  QtFileSaveDialog saveDialog;
  DesktopHomePageOpener homePageOpener;
  DesktopFolderOpener folderOpener;
  DesktopFileViewer fileViewer;
  const rowvane::PosixFileSystem fileSystem;
  const std::unique_ptr<QSettings> store = OpenUserSettings();
  PersistentSettings settings(*store);

  MainWindow window(WindowServices{
      .messageBoxes = messageBoxes,
      .folderDialog = folderDialog,
      .fileDialog = fileDialog,
      .saveDialog = saveDialog,
      .settings = settings,
      .store = *store,
      .homePageOpener = homePageOpener,
      .folderOpener = folderOpener,
      .fileViewer = fileViewer,
      .fileSystem = fileSystem,
      .randomFraction = StartUpFraction(!qEnvironmentVariableIsEmpty("ROWVANE_NO_HOME_PAGE")),
      .desktopFolder = DesktopFolder,
      // The folder of the program file itself, also when started through a
      // link to it.
      .programFolder = QCoreApplication::applicationDirPath(),
  });
  // A second window, started while another listens, works alone and stands
  // by to listen once that one ends.
  std::optional<SingleInstance> instance;
  if (handOverFolder.usable()) {
    instance.emplace(handOverFolder, std::move(listenerLock));
  }
  AcceptCommandLineFiles(
      startFiles, instance ? &*instance : nullptr, window,
      [&window](const QStringList& paths) { window.form().addPathsAsDropped(paths); });
  window.show();
  // Closing the window, the last one, ends the program.
  return application.exec();
}
