#include "app/menus/FileMenu.h"

#include <QKeySequence>

#include "app/menus/MenuLook.h"

namespace rowvane::app {

FileMenu::FileMenu(QWidget* parent) : QMenu(QStringLiteral("&File"), parent) {
  GiveMenuLook(*this, QStringLiteral("Adds files to the list, converts them, and quits."));
  struct Entry {
    QAction& action;
    const char* text;
    const char* description;
    QKeySequence shortcut;
    void (FileMenu::*request)();
  };
  // The texts of the buttons, with an ellipsis where a dialog follows, and
  // an access key each.
  const Entry entries[] = {
      {AddFiles, "&Add CSV File(s)...",
       "Chooses CSV files in a file dialog and adds them to the list.",
       QKeySequence(Qt::CTRL | Qt::Key_O), &FileMenu::addFilesRequested},
      {AddFolder, "Add All CSV File(s) In &Folder...",
       "Chooses a folder and adds the CSV files in it and in every folder below it.",
       QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), &FileMenu::addFolderRequested},
      {LoadSamples, "&Load Sample/Example Files",
       "Adds the sample files that come with the program.", QKeySequence(),
       &FileMenu::loadSamplesRequested},
      {ClearList, "&Clear List", "Removes every file from the list.", QKeySequence(),
       &FileMenu::clearListRequested},
      {StartConverting, "&Start Converting",
       "Converts every file in the list into an XML file in the output folder.",
       QKeySequence(Qt::CTRL | Qt::Key_Return), &FileMenu::startConvertingRequested},
      {StopConverting, "S&top Converting",
       "Ends the run going on; the files converted so far stay.", QKeySequence(Qt::Key_Escape),
       &FileMenu::stopConvertingRequested},
      {Quit, "&Quit", "Closes the window and ends the program.", QKeySequence(Qt::CTRL | Qt::Key_Q),
       &FileMenu::quitRequested},
  };
  for (const Entry& entry : entries) {
    entry.action.setText(QString::fromUtf8(entry.text));
    DescribeAction(entry.action, QString::fromUtf8(entry.description));
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
  // A second start would do nothing while a run goes on.
  StartConverting.setEnabled(!converting);
  StopConverting.setEnabled(converting);
}

}  // namespace rowvane::app
