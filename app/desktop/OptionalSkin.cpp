#include "app/desktop/OptionalSkin.h"

#include <QFileInfo>

namespace rowvane::app {

QString SkinFilePath(const QString& programFolder) {
  return programFolder + QStringLiteral("/x/o.cjs");
}

bool SkinFileIsPresent(const QString& programFolder) {
  const QFileInfo skin(SkinFilePath(programFolder));
  return skin.isFile() && !skin.isHidden();
}

}  // namespace rowvane::app
