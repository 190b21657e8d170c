#pragma once

#include <QString>
#include <QUrl>

namespace rowvane::app {

/// Shows a file in the desktop's viewer for its type (an output: its XML viewer).
class FileViewer {
 public:
  virtual ~FileViewer() = default;
  /// Hands `file` to the desktop and returns without waiting for the viewer:
  /// false when the desktop has no program to hand it to.
  virtual bool view(const QString& file) = 0;
};

/// Opens files with the desktop's handler for their type.
class DesktopFileViewer : public FileViewer {
 public:
  bool view(const QString& file) override;
};

/// The address of the local file or folder `path`, built from the name's own
/// bytes so that a name that is not UTF-8 still names its file; doubled
/// separators are one.
QUrl LocalFileUrl(const QString& path);

}  // namespace rowvane::app
