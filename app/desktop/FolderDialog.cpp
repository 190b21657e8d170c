#include "app/desktop/FolderDialog.h"

#include <QFileDialog>

namespace rowvane::app {

QString FolderFromChoice(const QString& chosen) {
  QString folder = chosen;
  while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) {
    folder.chop(1);
  }
  return folder;
}

QString QtFolderDialog::chooseFolder(QWidget* owner, const QString& prompt) {
  return FolderFromChoice(
      QFileDialog::getExistingDirectory(owner, prompt, QString(), QFileDialog::ShowDirsOnly));
}

}  // namespace rowvane::app
