// Not a test: the real window part-way through converting the sample files,
// for scripts/screenshot to take its picture.
//
//   app_screenshot_driver PROGRAM_FOLDER READY_FILE
//
// Loads the samples of PROGRAM_FOLDER/Samples through the File menu, starts
// converting them, and holds the run once the third file is a little under
// half done: the window goes on painting while the run waits there. READY_FILE
// is then written with the window's place on the screen (WxH+X+Y). The driver
// waits until it is ended; a run that ends without reaching that point exits
// with status 1. Settings and the output folder are the current user's, so the
// caller points HOME and the XDG folders somewhere neutral.
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <chrono>
#include <cstdio>

#include "app/controls/TextProgressBar.h"
#include "app/menus/FileMenu.h"
#include "tests/app/WindowHarness.h"

namespace {

using namespace rowvane::app;

constexpr char kHeldFile[] = "prices-semicolon.csv";
constexpr int kHeldAtOrAfter = 4000;  // hundredths of a per cent

// Shows the run held, then tells the caller where the window is.
void HoldTheRun(const MainWindow& window, const QString& readyFile) {
  QTimer::singleShot(std::chrono::milliseconds(500), [&window, readyFile] {
    const QRect place = window.frameGeometry();
    QFile ready(readyFile);
    const QByteArray text = QStringLiteral("%1x%2+%3+%4\n")
                                .arg(place.width())
                                .arg(place.height())
                                .arg(place.x())
                                .arg(place.y())
                                .toUtf8();
    if (!ready.open(QIODevice::WriteOnly) || ready.write(text) != text.size()) {
      std::fputs("app_screenshot_driver: cannot write the ready file\n", stderr);
      QCoreApplication::exit(1);
    }
  });
  QEventLoop heldForever;
  heldForever.exec();
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fputs("usage: app_screenshot_driver PROGRAM_FOLDER READY_FILE\n", stderr);
    return 2;
  }
  QApplication application(argc, argv);
  const QString programFolder = QString::fromLocal8Bit(argv[1]);
  const QString readyFile = QString::fromLocal8Bit(argv[2]);

  // Nothing but the window shows: the samples question is answered with no.
  testing::RecordingMessageBoxes boxes;
  testing::ScriptedFolderDialog folderDialog;
  testing::ScriptedFileDialog fileDialog;
  testing::ScriptedSaveDialog saveDialog;
  testing::RecordingOpener homePageOpener;
  testing::RecordingFolderOpener folderOpener;
  testing::RecordingFileViewer fileViewer;
  const rowvane::PosixFileSystem fileSystem;
  const std::unique_ptr<QSettings> store = OpenUserSettings();
  PersistentSettings settings(*store);
  WindowServices services{
      .messageBoxes = boxes,
      .folderDialog = folderDialog,
      .fileDialog = fileDialog,
      .saveDialog = saveDialog,
      .settings = settings,
      .store = *store,
      .homePageOpener = homePageOpener,
      .folderOpener = folderOpener,
      .fileViewer = fileViewer,
      .fileSystem = fileSystem,
      .randomFraction = [] { return 0.5; },  // never the home page
      .desktopFolder = DesktopFolder,
      .programFolder = programFolder,
  };
  // Small reads with a pause after each, so that the bar moves through every
  // file in small steps.
  services.tuning.readChunk = 8;
  services.tuning.pauseInterval = std::chrono::milliseconds(0);
  MainWindow window(services);
  window.show();

  auto& bar = testing::Found<TextProgressBar>(window, "ProgressBar1");
  bool held = false;
  QObject::connect(&bar, &QProgressBar::valueChanged, [&](int value) {
    if (!held && value >= kHeldAtOrAfter &&
        bar.text() == QStringLiteral("Processing: ") + QString::fromLatin1(kHeldFile)) {
      held = true;
      HoldTheRun(window, readyFile);
    }
  });
  FileMenu& menu = *window.findChild<FileMenu*>();
  QTimer::singleShot(0, [&menu] {
    menu.LoadSamples.trigger();
    menu.StartConverting.trigger();
    std::fputs("app_screenshot_driver: the run ended before the point to hold it\n", stderr);
    QCoreApplication::exit(1);
  });
  return application.exec();
}
