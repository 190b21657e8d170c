#include "app/handlers/LoadSamples.h"

#include "app/controls/FileListView.h"
#include "app/desktop/FolderOpener.h"
#include "app/desktop/LocalPath.h"
#include "app/desktop/MessageBoxes.h"
#include "app/desktop/WindowServices.h"
#include "app/handlers/ErrorTrap.h"
#include "filelist/GatherFolderFiles.h"

namespace rowvane::app {

namespace {

constexpr char kLocation[] = "in Rowvane2017/04/05.Form1.PushButton5_Click ";
constexpr char kQuestion[] =
    "Would you like this software to open the folder where these sample files are stored (so "
    "that you can view them before working with them)?";

// Labels of the statements that can fail, as the error report quotes them.
struct SamplesLine {
  static constexpr int ListSamples = 100;
  static constexpr int Ask = 106;
  static constexpr int OpenFolder = 108;
};

}  // namespace

void LoadSamples::run() {
  ErrorTrap trap(m_context.report, QString::fromUtf8(kLocation));
  const WindowServices& services = m_context.services;
  const QString samples = services.programFolder + QStringLiteral("/Samples");
  std::vector<std::string> names;
  trap.step(SamplesLine::ListSamples, [&] {
    names = ListFiles(services.fileSystem, PathBytes(samples), std::string(kAnyFilePattern));
  });
  for (const std::string& name : names) {
    m_items.Add(samples + QLatin1Char('/') + PathFromBytes(name));
  }
  // Asked even when nothing was found: the user may want to see why. A
  // question that fails counts as a yes.
  if (trap.test(SamplesLine::Ask, [&] {
        return services.messageBoxes.askYesNo(m_context.owner, m_context.applicationTitle,
                                              QString::fromUtf8(kQuestion));
      })) {
    // The desktop's reaction when it has no file browser: told, as the
    // platform's shell would.
    trap.step(SamplesLine::OpenFolder, [&] {
      if (!services.folderOpener.open(samples + QLatin1Char('/'))) {
        m_context.showMessage(
            QStringLiteral("The folder %1 cannot be opened: no program is set up to open it.")
                .arg(PathForDisplay(samples)));
      }
    });
  }
}

}  // namespace rowvane::app
