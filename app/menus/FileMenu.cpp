#include "app/menus/FileMenu.h"

#include <QKeySequence>

namespace rowvane::app {

FileMenu::FileMenu(QWidget* parent) : QMenu(QStringLiteral("&File"), parent) {
  struct Entry {
    QAction& action;
    const char* text;
    QKeySequence shortcut;
    void (FileMenu::*request)();
  };
  // The texts of the buttons, with an ellipsis where a dialog follows.
  const Entry entries[] = {
      {AddFiles, "Add CSV File(s)...", QKeySequence(Qt::CTRL | Qt::Key_O),
       &FileMenu::addFilesRequested},
      {AddFolder, "Add All CSV File(s) In Folder...",
       QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), &FileMenu::addFolderRequested},
      {LoadSamples, "Load Sample/Example Files", QKeySequence(), &FileMenu::loadSamplesRequested},
      {ClearList, "Clear List", QKeySequence(), &FileMenu::clearListRequested},
      {StartConverting, "Start Converting", QKeySequence(Qt::CTRL | Qt::Key_Return),
       &FileMenu::startConvertingRequested},
      {StopConverting, "Stop Converting", QKeySequence(Qt::Key_Escape),
       &FileMenu::stopConvertingRequested},
      {Quit, "Quit", QKeySequence(Qt::CTRL | Qt::Key_Q), &FileMenu::quitRequested},
  };
  for (const Entry& entry : entries) {
    entry.action.setText(QString::fromUtf8(entry.text));
    entry.action.setShortcut(entry.shortcut);
    connect(&entry.action, &QAction::triggered, this, entry.request);
    addAction(&entry.action);
    if (&entry.action == &ClearList || &entry.action == &StopConverting) {
      addSeparator();
    }
  }
  Quit.setMenuRole(QAction::QuitRole);
  setConverting(false);
}

void FileMenu::setConverting(bool converting) {
  StopConverting.setEnabled(converting);
}

}  // namespace rowvane::app
