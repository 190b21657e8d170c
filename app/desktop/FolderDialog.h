#pragma once

#include <QString>

class QWidget;

namespace rowvane::app {

/// The folder-browse dialog.
class FolderDialog {
 public:
  virtual ~FolderDialog() = default;
  /// Lets the user pick a folder of the file system, starting at the desktop's
  /// default place. Returns its path without a trailing separator (the root
  /// as "/"), or an empty text when the user cancels.
  virtual QString chooseFolder(QWidget* owner, const QString& prompt) = 0;
};

/// The desktop's folder chooser.
class QtFolderDialog : public FolderDialog {
 public:
  QString chooseFolder(QWidget* owner, const QString& prompt) override;
};

/// A chosen folder as the dialog hands it back: trailing separators removed
/// except for the root itself ("/"); empty stays empty (cancelled).
QString FolderFromChoice(const QString& chosen);

}  // namespace rowvane::app
