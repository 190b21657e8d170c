#include "app/handlers/AddFolderFiles.h"

#include "app/controls/FileListView.h"
#include "app/controls/WindowPointer.h"
#include "app/desktop/FolderDialog.h"
#include "app/desktop/LocalPath.h"
#include "app/desktop/WindowServices.h"
#include "app/handlers/ErrorTrap.h"
#include "filelist/GatherFolderFiles.h"

namespace rowvane::app {

namespace {

constexpr char kLocation[] = "in Rowvane2017/04/05.Form1.PushButton9_Click ";

// Labels of the statements that can fail, as the error report quotes them.
struct AddFolderLine {
  static constexpr int ShowDialog = 104;
  static constexpr int WalkFolders = 116;
  static constexpr int ListFiles = 122;
};

}  // namespace

void AddFolderFiles::run() {
  ErrorTrap trap(m_context.report, QString::fromUtf8(kLocation));
  QString chosen;
  trap.step(AddFolderLine::ShowDialog, [&] {
    chosen = m_context.services.folderDialog.chooseFolder(m_context.owner,
                                                          QStringLiteral("Please select folder:"));
  });
  if (chosen.isEmpty()) {
    return;  // cancelled, or the dialog failed and was reported
  }
  // The hourglass also keeps the removal gestures off the list meanwhile.
  m_context.pointer.set(WindowPointer::kHourglass);
  const rowvane::FileSystem& fileSystem = m_context.services.fileSystem;
  // A walk that fails part way still lists the folders it has found.
  std::vector<std::string> folders{PathBytes(chosen + QLatin1Char('/'))};
  trap.step(AddFolderLine::WalkFolders, [&] {
    if (CollectSubFolders(fileSystem, folders, true, m_context.eventsRun()) ==
        rowvane::WalkAnswer::Leave) {
      trap.leave();
    }
  });
  if (!trap.active()) {
    return;  // the window was closed during the walk: the program is ending
  }
  // No events run while the files are listed, so the list cannot change
  // under the additions.
  trap.step(AddFolderLine::ListFiles, [&] {
    for (const std::string& file : FilesOfFolders(fileSystem, folders, kCsvFilePattern)) {
      m_items.Add(PathFromBytes(file));
    }
  });
  m_context.pointer.set(WindowPointer::kDefault);
}

}  // namespace rowvane::app
