#pragma once

#include <QString>
#include <functional>

#include "app/desktop/OccasionalHomePage.h"
#include "engine/Settings.h"

class QSettings;

namespace rowvane {
class FileSystem;
}

namespace rowvane::app {

class FileOpenDialog;
class FileSaveDialog;
class FileViewer;
class FolderDialog;
class FolderOpener;
class HomePageOpener;
class MessageBoxes;
class PersistentSettings;

/// Everything the main window reaches beyond itself, handed in so that tests
/// can answer dialogs and keep the settings in a folder of their own.
struct WindowServices {
  MessageBoxes& messageBoxes;
  FolderDialog& folderDialog;
  FileOpenDialog& fileDialog;
  FileSaveDialog& saveDialog;
  PersistentSettings& settings;
  /// The settings store itself, where the Format menu keeps its choice under
  /// keys of its own.
  QSettings& store;
  HomePageOpener& homePageOpener;
  /// Shows the samples folder in the file browser.
  FolderOpener& folderOpener;
  /// Opens an output in the desktop's viewer for XML.
  FileViewer& fileViewer;
  /// Where the adding operations look for files and walk folders.
  const rowvane::FileSystem& fileSystem;
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
