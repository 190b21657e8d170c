#pragma once

#include "app/desktop/FolderDialog.h"

namespace rowvane::app {

/// The desktop's folder chooser.
class QtFolderDialog : public FolderDialog {
 public:
  QString chooseFolder(QWidget* owner, const QString& prompt) override;
};

/// A chosen folder as the dialog hands it back: trailing separators removed
/// except for the root itself ("/"); empty stays empty (cancelled).
QString FolderFromChoice(const QString& chosen);

}  // namespace rowvane::app
