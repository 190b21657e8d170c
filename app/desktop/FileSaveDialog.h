#pragma once

#include <QString>

class QWidget;

namespace rowvane::app {

/// The save-as dialog.
class FileSaveDialog {
 public:
  virtual ~FileSaveDialog() = default;
  /// Lets the user name a file to write, offering `suggested` and those that
  /// match `filter` (e.g. "XML Templates (*.xml)"). Returns its full path, or
  /// an empty text when the user cancels.
  virtual QString chooseSaveFile(QWidget* owner, const QString& title, const QString& filter,
                                 const QString& suggested) = 0;
};

/// The desktop's save-as dialog; it asks before replacing a file.
class QtFileSaveDialog : public FileSaveDialog {
 public:
  QString chooseSaveFile(QWidget* owner, const QString& title, const QString& filter,
                         const QString& suggested) override;
};

}  // namespace rowvane::app
