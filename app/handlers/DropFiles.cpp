#include "app/handlers/DropFiles.h"

#include <exception>
#include <string>
#include <vector>

#include "app/controls/FileListView.h"
#include "app/desktop/EventPump.h"
#include "app/desktop/LocalPath.h"
#include "app/desktop/WindowServices.h"
#include "filelist/GatherFolderFiles.h"

namespace rowvane::app {

void DropFiles::run(const QStringList& paths) {
  for (const QString& path : paths) {
    if (!addDroppedPath(path)) {
      return;  // the window was closed: the program is ending
    }
  }
}

bool DropFiles::addDroppedPath(const QString& path) {
  const rowvane::FileSystem& fileSystem = m_context.services.fileSystem;
  try {
    const std::string dropped = PathBytes(path);
    if (!IsDroppedFolder(fileSystem, dropped)) {
      m_items.Add(path);
      return true;
    }
    const std::vector<std::string> files =
        GatherFolderFiles(fileSystem, dropped, kAnyFilePattern, m_context.eventsRun());
    if (m_context.pump.closed()) {
      return false;
    }
    for (const std::string& file : files) {
      m_items.Add(PathFromBytes(file));
    }
  } catch (const std::exception&) {
    // Drops have no error report: a path that fails is passed over.
  }
  return true;
}

}  // namespace rowvane::app
