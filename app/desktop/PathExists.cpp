#include "app/desktop/PathExists.h"

#include <QFileInfo>

namespace rowvane::app {

bool PathExists(const QString& path) {
  if (path.isEmpty()) {
    return false;
  }
  return QFileInfo(path).lastModified().isValid();
}

}  // namespace rowvane::app
