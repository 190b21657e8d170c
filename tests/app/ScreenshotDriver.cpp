// Not a test: the real window part-way through converting the sample files,
// for scripts/screenshot to take its picture.
//
//   app_screenshot_driver PROGRAM_FOLDER READY_FILE [SCENE]
//
// Loads the samples of PROGRAM_FOLDER/Samples through the File menu, starts
// converting them, and holds the run once the third file is a little under
// half done: the window goes on painting while the run waits there. READY_FILE
// is then written with the window's place on the screen (WxH+X+Y). The driver
// waits until it is ended; a run that ends without reaching that point exits
// with status 1. Settings and the output folder are the current user's, so the
// caller points HOME and the XDG folders somewhere neutral.
//
// A SCENE shows something else, and READY_FILE then names the whole screen:
// "about" the about box, "error" an error report with a long description,
// "views" the samples converted through a template with a long name that
// fits few of them, with the preview and the conversion log open, and
// "summary" the box that ends such a run.
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <chrono>
#include <cstdio>

#include "app/controls/TextProgressBar.h"
#include "app/handlers/ApplicationErrorReport.h"
#include "app/menus/FileMenu.h"
#include "app/menus/FormatMenu.h"
#include "app/menus/HelpMenu.h"
#include "app/menus/ViewMenu.h"
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

// Tells the caller, a little later, that the whole screen is ready.
void TellReadySoon(const QString& readyFile) {
  QTimer::singleShot(std::chrono::milliseconds(800), [readyFile] {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QFile ready(readyFile);
    const QByteArray text =
        QStringLiteral("%1x%2+0+0\n").arg(screen.width()).arg(screen.height()).toUtf8();
    if (!ready.open(QIODevice::WriteOnly) || ready.write(text) != text.size()) {
      QCoreApplication::exit(1);
    }
  });
}

void ShowScene(const QString& scene, MainWindow& window, const QString& programFolder,
               const QString& readyFile) {
  TellReadySoon(readyFile);
  QtMessageBoxes boxes;
  if (scene == QStringLiteral("about")) {
    window.findChild<HelpMenu*>()->About.trigger();
  } else if (scene == QStringLiteral("error")) {
    ApplicationErrorReport(boxes, &window)
        .ShowApplicationError(
            QStringLiteral("in Rowvane2017/04/05.Form1.PushButton7_Click "), 256,
            QStringLiteral("cannot write /home/user/Desktop/quarterly reports for the northern "
                           "region/second half of the year/orders.xml: Permission denied"));
  } else if (scene == QStringLiteral("summary")) {
    boxes.offerAction(&window, window.form().applicationTitle(),
                      QStringLiteral("Done. 6 of 7 files were not converted. The conversion log "
                                     "says why."),
                      QStringLiteral("Open Conversion Log"));
  } else {
    const QString layout =
        programFolder + QStringLiteral(
                            "/orders for the northern warehouse laid out for the "
                            "accounting system.xml");
    QFile file(layout);
    file.open(QIODevice::WriteOnly);
    file.write(
        "<orders xmlns:rv=\"urn:rowvane:layout\"><order rv:for-each=\"record\">"
        "<city>{city}</city></order></orders>");
    file.close();
    window.findChild<FormatMenu*>()->chooseTemplate(layout);
    FileMenu& menu = *window.findChild<FileMenu*>();
    menu.LoadSamples.trigger();
    menu.StartConverting.trigger();
    window.findChild<ViewMenu*>()->ConversionLog.trigger();
    window.findChild<ViewMenu*>()->Preview.trigger();
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 3 && argc != 4) {
    std::fputs("usage: app_screenshot_driver PROGRAM_FOLDER READY_FILE [SCENE]\n", stderr);
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
  if (argc == 4) {
    const QString scene = QString::fromLocal8Bit(argv[3]);
    QTimer::singleShot(100, [&] { ShowScene(scene, window, programFolder, readyFile); });
    return application.exec();
  }

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
