#pragma once

#include <QStringList>

#include "app/handlers/HandlerContext.h"

namespace rowvane::app {

class CommonDialog;
class ErrorTrap;
class ListItems;

/// "Add CSV File(s)": the user picks one or more files in the file dialog and
/// each usable one is appended to the list. A file whose name the file system
/// refuses is told about and left out; a choice too large for the dialog
/// sends the user to the folder button instead.
class AddFilesByDialog {
 public:
  AddFilesByDialog(const HandlerContext& context, CommonDialog& dialog, ListItems& items)
      : m_context(context), m_dialog(dialog), m_items(items) {}

  void run();

 private:
  void addIfUsable(ErrorTrap& trap, const QString& path, int checkLine, int refuseLine);

  HandlerContext m_context;
  CommonDialog& m_dialog;
  ListItems& m_items;
};

}  // namespace rowvane::app
