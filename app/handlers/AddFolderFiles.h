#pragma once

#include "app/handlers/HandlerContext.h"

namespace rowvane::app {

class ListItems;

/// "Add All CSV File(s) In Folder": the user picks a folder, and the CSV
/// files of it and of every folder below it are appended to the list, level
/// by level. The hourglass shows during the walk, which lets the window's
/// events run; closing the window ends it.
class AddFolderFiles {
 public:
  AddFolderFiles(const HandlerContext& context, ListItems& items)
      : m_context(context), m_items(items) {}

  void run();

 private:
  HandlerContext m_context;
  ListItems& m_items;
};

}  // namespace rowvane::app
