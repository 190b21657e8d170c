#include "app/desktop/FolderDialog.h"

#include <QFileDialog>

#include "app/desktop/DialogLook.h"
#include "app/desktop/LocalPath.h"

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
  // As an address, the choice keeps the bytes of a name that is not UTF-8.
  return dialog.exec() == QDialog::Accepted
             ? FolderFromChoice(PathFromUrl(dialog.selectedUrls().value(0)))
             : QString();
}

}  // namespace rowvane::app
