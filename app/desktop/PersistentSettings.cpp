#include "app/desktop/PersistentSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <stdexcept>

namespace rowvane::app {

namespace {

QString OutputFolderKey() {
  return QStringLiteral("Text1");
}

// No folder name comes near this; a text that long is damage or an attack,
// and would cost its size in memory at every start and every keystroke.
bool IsStorableFolder(const QString& folder) {
  // Counted as UTF-8 bytes, at most three per UTF-16 unit: the count is only
  // made for texts that could pass.
  return folder.size() <= kMostStoredFolderBytes &&
         (folder.size() * 3 <= kMostStoredFolderBytes ||
          folder.toUtf8().size() <= kMostStoredFolderBytes);
}

}  // namespace

std::unique_ptr<QSettings> OpenUserSettings() {
  return std::make_unique<QSettings>(QStringLiteral("Quorvel"), QStringLiteral("Rowvane"));
}

QString PersistentSettings::outputFolder(const QString& fallback) const {
  QString stored = m_store.value(OutputFolderKey(), fallback).toString();
  return IsStorableFolder(stored) ? stored : fallback;
}

void PersistentSettings::setOutputFolder(const QString& folder) {
  if (!IsStorableFolder(folder)) {
    return;
  }
  m_store.setValue(OutputFolderKey(), folder);
  // Written through at once: the store must follow the box even if the
  // program is ended without a chance to save.
  m_store.sync();
}

QString DesktopFolder() {
  // The desktop names its folder in the XDG user directories; a fresh account
  // may name one that was never made, and an output folder that does not
  // exist would refuse the first run.
  const QString named = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (!named.isEmpty() && QFileInfo(named).isDir()) {
    return named;
  }
  return QDir::homePath();
}

QString DefaultOutputFolder(const QString& desktopFolder) {
  if (desktopFolder.isEmpty()) {
    throw std::runtime_error("The desktop folder could not be found.");
  }
  return desktopFolder + QLatin1Char('/');
}

}  // namespace rowvane::app
