#pragma once

#include <QStringList>

#include "app/handlers/ListFillingHandler.h"

namespace rowvane::app {

class CommonDialog;
class ErrorTrap;

/// "Add CSV File(s)": the user picks one or more files in the file dialog and
/// each usable one is appended to the list. A file whose name the file system
/// refuses is told about and left out; a choice too large for the dialog
/// sends the user to the folder button instead.
class AddFilesByDialog : public ListFillingHandler {
 public:
  AddFilesByDialog(const HandlerContext& context, CommonDialog& dialog, ListItems& items)
      : ListFillingHandler(context, items), m_dialog(dialog) {}

  void run();

 private:
  void addIfUsable(ErrorTrap& trap, const QString& path, int checkLine, int refuseLine);

  CommonDialog& m_dialog;
};

}  // namespace rowvane::app
