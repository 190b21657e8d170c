#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace rowvane::app {

/// The multi-selection file-open dialog.
class FileOpenDialog {
 public:
  virtual ~FileOpenDialog() = default;
  /// Lets the user pick one or more existing files, offering those that match
  /// `filter` (e.g. "CSV Files (*.csv)"). Returns their full paths in the
  /// dialog's order, or none when the user cancels.
  virtual QStringList chooseFiles(QWidget* owner, const QString& title, const QString& filter) = 0;
};

/// The desktop's file-open dialog, several files at a time.
class QtFileOpenDialog : public FileOpenDialog {
 public:
  QStringList chooseFiles(QWidget* owner, const QString& title, const QString& filter) override;
};

}  // namespace rowvane::app
