#include "app/handlers/DropFiles.h"

#include <exception>

#include "app/controls/FileListView.h"
#include "app/desktop/LocalPath.h"
#include "app/desktop/WindowServices.h"
#include "filelist/GatherFolderFiles.h"

namespace rowvane::app {

void DropFiles::run(const QStringList& paths) {
  for (const QString& path : paths) {
    addDroppedPath(path);
  }
}

void DropFiles::addDroppedPath(const QString& path) {
  const rowvane::FileSystem& fileSystem = m_context.services.fileSystem;
  try {
    const std::string dropped = PathBytes(path);
    if (!IsDroppedFolder(fileSystem, dropped)) {
      m_items.Add(path);
      return;
    }
    for (const std::string& file :
         GatherFolderFiles(fileSystem, dropped, kAnyFilePattern, m_context.eventsRunOrLeave())) {
      m_items.Add(PathFromBytes(file));
    }
  } catch (const std::exception&) {
    // Drops have no error report: a path that fails is passed over. Leaving
    // the handler (the window closed) is no std::exception and ends the drop.
  }
}

}  // namespace rowvane::app
