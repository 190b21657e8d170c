#pragma once

#include <QString>
#include <memory>

class QSettings;

namespace rowvane::app {

/// The settings store of the current user: organisation "Quorvel",
/// application "Rowvane" (an INI-style file in the configuration folder).
std::unique_ptr<QSettings> OpenUserSettings();

/// The longest output folder kept in the store, in UTF-8 bytes (1 MiB).
inline constexpr qsizetype kMostStoredFolderBytes = qsizetype{1} << 20;

/// The one setting kept between runs: the output folder, under the key
/// "Text1", stored and returned exactly as typed, up to kMostStoredFolderBytes.
class PersistentSettings {
 public:
  explicit PersistentSettings(QSettings& store) : m_store(store) {}

  /// The stored folder, or `fallback` when none is stored or the stored one
  /// is longer than kMostStoredFolderBytes. A stored empty text reads back as empty.
  QString outputFolder(const QString& fallback) const;

  /// Stores `folder`, replacing what was stored; a folder longer than
  /// kMostStoredFolderBytes is not stored, and the store stays as it was.
  void setOutputFolder(const QString& folder);

 private:
  QSettings& m_store;
};

/// The folder the desktop names as the user's desktop (XDG_DESKTOP_DIR in the
/// XDG user directories, ~/Desktop when none is named); the home folder when
/// that folder does not exist.
QString DesktopFolder();

/// The default output folder: the desktop folder followed by the separator.
/// Throws std::runtime_error when the desktop folder is empty.
QString DefaultOutputFolder(const QString& desktopFolder);

}  // namespace rowvane::app
