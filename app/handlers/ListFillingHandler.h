#pragma once

#include "app/handlers/HandlerContext.h"

namespace rowvane::app {

class ListItems;

/// What every handler that appends entries to the file list holds: the
/// window's context and the list's entries.
class ListFillingHandler {
 public:
  ListFillingHandler(const HandlerContext& context, ListItems& items)
      : m_context(context), m_items(items) {}

 protected:
  HandlerContext m_context;
  ListItems& m_items;
};

}  // namespace rowvane::app
