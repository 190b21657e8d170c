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

}  // namespace rowvane::app
