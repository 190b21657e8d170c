#pragma once

#include "app/handlers/HandlerContext.h"

class QLineEdit;

namespace rowvane::app {

/// The "..." button: the user picks the output folder in the folder dialog,
/// and the folder box shows it with a trailing separator. A cancelled choice
/// leaves the box as it was.
class ChooseOutputFolder {
 public:
  ChooseOutputFolder(const HandlerContext& context, QLineEdit& folderBox)
      : m_context(context), m_folderBox(folderBox) {}

  void run();

 private:
  HandlerContext m_context;
  QLineEdit& m_folderBox;
};

}  // namespace rowvane::app
