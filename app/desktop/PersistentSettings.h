#pragma once

#include <QString>
#include <memory>

class QSettings;

namespace rowvane::app {

/// The settings store of the current user: organisation "Quorvel",
/// application "Rowvane" (an INI-style file in the configuration folder).
std::unique_ptr<QSettings> OpenUserSettings();

/// The one setting kept between runs: the output folder, under the key
/// "Text1", stored and returned exactly as typed.
class PersistentSettings {
 public:
  explicit PersistentSettings(QSettings& store) : m_store(store) {}

  /// The stored folder, or `fallback` when none is stored. A stored empty
  /// text reads back as empty.
  QString outputFolder(const QString& fallback) const;

  /// Stores `folder`, replacing what was stored.
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
