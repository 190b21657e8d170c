#include "app/controls/CommonDialog.h"

#include "app/desktop/FileOpenDialog.h"
#include "app/desktop/NumberedError.h"

namespace rowvane::app {

namespace {

QString FolderOf(const QString& path) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

bool LiesBelow(const QString& path, const QString& folder) {
  if (folder == QStringLiteral("/")) {
    return path.startsWith(QLatin1Char('/'));
  }
  return path.startsWith(folder) && path.size() > folder.size() &&
         path.at(folder.size()) == QLatin1Char('/');
}

QString SharedFolder(const QStringList& paths) {
  QString folder = FolderOf(paths.first());
  for (const QString& path : paths) {
    while (folder != QStringLiteral("/") && !LiesBelow(path, folder)) {
      folder = FolderOf(folder);
    }
  }
  return folder;
}

}  // namespace

QString OpenDialogResultText(const QStringList& paths) {
  if (paths.size() <= 1) {
    return paths.value(0);
  }
  const QString folder = SharedFolder(paths);
  const qsizetype nameStart = folder == QStringLiteral("/") ? 1 : folder.size() + 1;
  QString text = folder;
  for (const QString& path : paths) {
    text += QChar(u'\0');
    text += path.mid(nameStart);
  }
  return text;
}

void CommonDialog::ShowOpen(QWidget* owner) {
  m_fileName.clear();
  QString text = OpenDialogResultText(m_dialog.chooseFiles(owner, m_title, m_filter));
  if (text.size() > kMaxFileSize) {
    throw NumberedError(kBufferTooSmall, "The chosen file names do not fit the dialog's buffer.");
  }
  m_fileName = std::move(text);
}

}  // namespace rowvane::app
