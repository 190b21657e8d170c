#pragma once

#include "app/handlers/HandlerContext.h"

namespace rowvane::app {

class ListItems;

/// "Load Sample/Example Files": appends every file of the Samples folder
/// beside the program, then offers to show that folder in the file browser.
class LoadSamples {
 public:
  LoadSamples(const HandlerContext& context, ListItems& items)
      : m_context(context), m_items(items) {}

  void run();

 private:
  HandlerContext m_context;
  ListItems& m_items;
};

}  // namespace rowvane::app
