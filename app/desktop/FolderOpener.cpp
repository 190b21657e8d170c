#include "app/desktop/FolderOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace rowvane::app {

void DesktopFolderOpener::open(const QString& folder) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

}  // namespace rowvane::app
