#include "app/desktop/FileOpenDialog.h"

#include <QFileDialog>

#include "app/desktop/DialogLook.h"

namespace rowvane::app {

QStringList QtFileOpenDialog::chooseFiles(QWidget* owner, const QString& title,
                                          const QString& filter) {
  // No start folder: the dialog opens where the desktop places it.
  QFileDialog dialog(owner, title, QString(), filter);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  GiveDialogLook(dialog, QStringLiteral("Choose one or more files to add to the list."));
  return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
}

}  // namespace rowvane::app
