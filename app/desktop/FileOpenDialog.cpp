#include "app/desktop/FileOpenDialog.h"

#include <QFileDialog>

#include "app/desktop/DialogLook.h"
#include "app/desktop/LocalPath.h"

namespace rowvane::app {

QStringList QtFileOpenDialog::chooseFiles(QWidget* owner, const QString& title,
                                          const QString& filter) {
  // No start folder: the dialog opens where the desktop places it.
  QFileDialog dialog(owner, title, QString(), filter);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  GiveDialogLook(dialog, QStringLiteral("Choose one or more files to add to the list."));
  QStringList paths;
  if (dialog.exec() == QDialog::Accepted) {
    // As addresses, a desktop's dialog hands over the names' own bytes.
    for (const QUrl& url : dialog.selectedUrls()) {
      paths << PathFromUrl(url);
    }
  }
  return paths;
}

}  // namespace rowvane::app
