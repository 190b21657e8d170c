#pragma once

#include <QString>
#include <functional>

#include "ConversionTuning.h"
#include "OccasionalHomePage.h"

namespace rowvane::app {

class FolderDialog;
class HomePageOpener;
class MessageBoxes;
class PersistentSettings;

/// Everything the main window reaches beyond itself, handed in so that tests
/// can answer dialogs and keep the settings in a folder of their own.
struct WindowServices {
  MessageBoxes& messageBoxes;
  FolderDialog& folderDialog;
  PersistentSettings& settings;
  HomePageOpener& homePageOpener;
  /// Draws for the occasional home page.
  RandomFraction randomFraction;
  /// The user's desktop folder, empty when it cannot be resolved.
  std::function<QString()> desktopFolder;
  /// The folder holding the program, without a trailing separator.
  QString programFolder;
  /// How files are converted; the defaults suit real use.
  rowvane::ConversionTuning tuning{};
};

}  // namespace rowvane::app
