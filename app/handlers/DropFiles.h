#pragma once

#include <QStringList>

#include "app/handlers/ListFillingHandler.h"

namespace rowvane::app {

/// Files and folders dropped onto the list: a file is appended as it is,
/// whatever its name or type; a folder adds the files of every extension of
/// it and of every folder below it. A path that fails is passed over without
/// a word and the rest of the drop goes on; closing the window ends the drop.
class DropFiles : public ListFillingHandler {
 public:
  using ListFillingHandler::ListFillingHandler;

  void run(const QStringList& paths);

 private:
  /// False when the window was closed meanwhile: the drop ends.
  bool addDroppedPath(const QString& path);
};

}  // namespace rowvane::app
