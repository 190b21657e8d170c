#pragma once

#include <QString>
#include <functional>

#include "app/handlers/HandlerContext.h"

class QLineEdit;

namespace rowvane::app {

class FileListView;

/// What start-up settles for the rest of the program's life.
struct StartUpResult {
  /// Title of the program's message boxes.
  QString applicationTitle;
  /// True when the skin file was found and the window took a skin's colours.
  bool skinApplied = false;
};

/// Start-up, run once as the window is created: the optional skin, the
/// window's caption and icon, the custom hand pointer, now and then the
/// maker's home page, the list's column and the output folder (the stored
/// one, else the desktop).
class StartUp {
 public:
  StartUp(const HandlerContext& context, FileListView& list, QLineEdit& folderBox,
          std::function<void()> applySkinColours)
      : m_context(context),
        m_list(list),
        m_folderBox(folderBox),
        m_applySkinColours(std::move(applySkinColours)) {}

  StartUpResult run();

 private:
  bool applyOptionalSkin();
  void loadHandCursor();
  void fillOutputFolder();

  HandlerContext m_context;
  FileListView& m_list;
  QLineEdit& m_folderBox;
  std::function<void()> m_applySkinColours;
};

}  // namespace rowvane::app
