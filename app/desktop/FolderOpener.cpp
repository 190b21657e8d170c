#include "app/desktop/FolderOpener.h"

#include <QDesktopServices>

#include "app/desktop/FileViewer.h"

namespace rowvane::app {

bool DesktopFolderOpener::open(const QString& folder) {
  return QDesktopServices::openUrl(LocalFileUrl(folder));
}

}  // namespace rowvane::app
