#include "app/handlers/AddFilesByDialog.h"

#include "app/controls/CommonDialog.h"
#include "app/controls/FileListView.h"
#include "app/desktop/LocalPath.h"
#include "app/desktop/WindowServices.h"
#include "app/handlers/ErrorTrap.h"
#include "filelist/GatherFolderFiles.h"

namespace rowvane::app {

namespace {

constexpr char kLocation[] = "in Rowvane2017/04/05.Form1.PushButton8_Click ";
constexpr char kTitle[] = "Add File(s) - Hold Ctrl to select multiple files";
constexpr char kFilter[] = "CSV Files (*.csv)";

// Labels of the statements that can fail, as the error report quotes them.
struct AddFilesLine {
  static constexpr int ShowDialog = 112;
  static constexpr int CheckOneName = 122;
  static constexpr int RefuseOne = 126;
  static constexpr int CheckName = 144;
  static constexpr int Refuse = 148;
};

// The two breaks are bare carriage returns, as in every message of the window.
QString RefusalMessage(const QString& path) {
  return PathForDisplay(path) +
         QStringLiteral("\r\rwas not added because it has bad characters in the filename.");
}

QString TooManyFilesMessage() {
  return QStringLiteral(
      "You've selected too many files to add.\r\rPlease try adding via the \"Add All\" button.");
}

}  // namespace

void AddFilesByDialog::run() {
  // A choice too large for the dialog is no error of the program: the user
  // is sent to the folder button instead of getting the report.
  const auto tooManyFiles = [this](const TrappedError& error) {
    if (error.number != CommonDialog::kBufferTooSmall) {
      return ErrorTrap::Verdict::Report;
    }
    m_context.showMessage(TooManyFilesMessage());
    return ErrorTrap::Verdict::LeaveHandler;
  };
  ErrorTrap trap(m_context.report, QString::fromUtf8(kLocation), tooManyFiles);
  m_dialog.setFileName(QString());
  m_dialog.setDialogTitle(QString::fromUtf8(kTitle));
  m_dialog.setFilter(QString::fromUtf8(kFilter));
  trap.step(AddFilesLine::ShowDialog, [&] { m_dialog.ShowOpen(m_context.owner); });
  // A failed showing leaves the file name empty, like a cancel.
  if (!trap.active() || m_dialog.fileName().isEmpty()) {
    return;
  }
  // One file comes back as its path; several as their folder followed by
  // their names, all separated by NUL characters.
  const QStringList parts = m_dialog.fileName().split(QChar(u'\0'));
  if (parts.size() == 1) {
    addIfUsable(trap, parts.front(), AddFilesLine::CheckOneName, AddFilesLine::RefuseOne);
    return;
  }
  for (qsizetype part = 1; part < parts.size() && trap.active(); ++part) {
    // The root folder "/" joined with a name gives a doubled separator.
    const QString path = PathFromBytes(
        CollapseDoubledSeparators(PathBytes(parts.front() + QLatin1Char('/') + parts[part])));
    addIfUsable(trap, path, AddFilesLine::CheckName, AddFilesLine::Refuse);
  }
}

void AddFilesByDialog::addIfUsable(ErrorTrap& trap, const QString& path, int checkLine,
                                   int refuseLine) {
  // A check that fails lets the file in: the list will report it when the
  // run reaches it.
  if (trap.test(checkLine,
                [&] { return !IsBadFileName(m_context.services.fileSystem, PathBytes(path)); })) {
    m_items.Add(path);
    return;
  }
  trap.step(refuseLine, [&] { m_context.showMessage(RefusalMessage(path)); });
}

}  // namespace rowvane::app
