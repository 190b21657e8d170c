#pragma once

#include <QString>

namespace rowvane::app {

/// Shows a folder in the desktop's file browser.
class FolderOpener {
 public:
  virtual ~FolderOpener() = default;
  /// Hands `folder` to the file browser and returns without waiting for it:
  /// false when the desktop has no program to hand it to.
  virtual bool open(const QString& folder) = 0;
};

/// Opens folders with the desktop's URL handler.
class DesktopFolderOpener : public FolderOpener {
 public:
  bool open(const QString& folder) override;
};

}  // namespace rowvane::app
