#pragma once

#include <QString>

namespace rowvane::app {

/// Shows a folder in the desktop's file browser.
class FolderOpener {
 public:
  virtual ~FolderOpener() = default;
  /// Hands `folder` to the file browser and returns without waiting for it.
  /// Whether the browser could be started is not told: the desktop's own
  /// reaction is the only feedback.
  virtual void open(const QString& folder) = 0;
};

/// Opens folders with the desktop's URL handler.
class DesktopFolderOpener : public FolderOpener {
 public:
  void open(const QString& folder) override;
};

}  // namespace rowvane::app
