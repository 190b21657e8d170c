#include "app/desktop/FolderDialog.h"

#include <QFileDialog>

#include "app/desktop/DialogLook.h"

namespace rowvane::app {

QString FolderFromChoice(const QString& chosen) {
  QString folder = chosen;
  while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) {
    folder.chop(1);
  }
  return folder;
}

QString QtFolderDialog::chooseFolder(QWidget* owner, const QString& prompt) {
  QFileDialog dialog(owner, prompt);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  GiveDialogLook(dialog, QStringLiteral("Choose a folder."));
  return dialog.exec() == QDialog::Accepted ? FolderFromChoice(dialog.selectedFiles().value(0))
                                            : QString();
}

}  // namespace rowvane::app
