#pragma once

#include <QString>

namespace rowvane::app {

/// Shows a file in the desktop's viewer for its type (an output: its XML viewer).
class FileViewer {
 public:
  virtual ~FileViewer() = default;
  /// Hands `file` to the desktop and returns without waiting for the viewer.
  /// Whether one could be started is not told: the desktop's own reaction is
  /// the only feedback.
  virtual void view(const QString& file) = 0;
};

/// Opens files with the desktop's handler for their type.
class DesktopFileViewer : public FileViewer {
 public:
  void view(const QString& file) override;
};

}  // namespace rowvane::app
