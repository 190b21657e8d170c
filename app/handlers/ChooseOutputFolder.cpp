#include "app/handlers/ChooseOutputFolder.h"

#include <QLineEdit>

#include "app/desktop/FolderDialog.h"
#include "app/desktop/WindowServices.h"
#include "app/handlers/ErrorTrap.h"

namespace rowvane::app {

namespace {

constexpr char kLocation[] = "in Rowvane2017/04/05.Form1.PushButton1_Click ";

// Labels of the statements that can fail, as the error report quotes them.
struct ChooseFolderLine {
  static constexpr int ShowDialog = 100;
};

}  // namespace

void ChooseOutputFolder::run() {
  ErrorTrap trap(m_context.report, QString::fromUtf8(kLocation));
  QString folder;
  trap.step(ChooseFolderLine::ShowDialog, [&] {
    folder = m_context.services.folderDialog.chooseFolder(m_context.owner,
                                                          QStringLiteral("Please select folder:"));
  });
  if (folder.isEmpty()) {
    return;  // cancelled, or the dialog failed and was reported
  }
  // The root comes back with its own separator; every other folder gets one,
  // so that the box always names a folder the same way.
  m_folderBox.setText(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
}

}  // namespace rowvane::app
