#include "app/desktop/FileOpenDialog.h"

#include <QFileDialog>

namespace rowvane::app {

QStringList QtFileOpenDialog::chooseFiles(QWidget* owner, const QString& title,
                                          const QString& filter) {
  // No start folder: the dialog opens where the desktop places it.
  return QFileDialog::getOpenFileNames(owner, title, QString(), filter);
}

}  // namespace rowvane::app
