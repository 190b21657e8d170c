#pragma once

#include "app/handlers/ListFillingHandler.h"

namespace rowvane::app {

/// "Add All CSV File(s) In Folder": the user picks a folder, and the CSV
/// files of it and of every folder below it are appended to the list, level
/// by level. The hourglass shows during the walk, which lets the window's
/// events run; closing the window ends it.
class AddFolderFiles : public ListFillingHandler {
 public:
  using ListFillingHandler::ListFillingHandler;

  void run();
};

}  // namespace rowvane::app
