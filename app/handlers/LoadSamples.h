#pragma once

#include "app/handlers/ListFillingHandler.h"

namespace rowvane::app {

/// "Load Sample/Example Files": appends every file of the Samples folder
/// beside the program, then offers to show that folder in the file browser.
class LoadSamples : public ListFillingHandler {
 public:
  using ListFillingHandler::ListFillingHandler;

  void run();
};

}  // namespace rowvane::app
