#include "app/desktop/FileSaveDialog.h"

#include <QFileDialog>

#include "app/desktop/DialogLook.h"
#include "app/desktop/LocalPath.h"

namespace rowvane::app {

QString QtFileSaveDialog::chooseSaveFile(QWidget* owner, const QString& title,
                                         const QString& filter, const QString& suggested) {
  QFileDialog dialog(owner, title, QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("xml"));
  dialog.selectFile(suggested);
  GiveDialogLook(dialog, QStringLiteral("Names the file to write."));
  // As an address, the choice keeps the bytes of a name that is not UTF-8.
  return dialog.exec() == QDialog::Accepted ? PathFromUrl(dialog.selectedUrls().value(0))
                                            : QString();
}

}  // namespace rowvane::app
