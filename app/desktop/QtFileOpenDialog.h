#pragma once

#include "app/desktop/FileOpenDialog.h"

namespace rowvane::app {

/// The desktop's file-open dialog, several files at a time.
class QtFileOpenDialog : public FileOpenDialog {
 public:
  QStringList chooseFiles(QWidget* owner, const QString& title, const QString& filter) override;
};

}  // namespace rowvane::app
