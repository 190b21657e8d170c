#pragma once

#include <QString>
#include <string>

#include "engine/ConversionTuning.h"
#include "engine/FileConverter.h"

class QCheckBox;
class QLineEdit;
class QWidget;

namespace rowvane::app {

class ApplicationErrorReport;
class ErrorTrap;
class EventPump;
class FileListView;
class MessageBoxes;
class TextProgressBar;
class WindowPointer;

/// The controls of the window that a conversion run reads and changes.
struct RunControls {
  FileListView& ListView1;
  QLineEdit& Text1;   ///< output folder
  QLineEdit& Text3;   ///< separator
  QLineEdit& Text4;   ///< row tag
  QLineEdit& Text5;   ///< document tag
  QCheckBox& Check1;  ///< header row
  QCheckBox& Check2;  ///< row tags
  TextProgressBar& ProgressBar1;
};

/// What the run needs of the window besides its controls.
struct RunWindow {
  QWidget* owner;
  QString applicationTitle;
  WindowPointer& pointer;
  EventPump& pump;
  MessageBoxes& messageBoxes;
  const ApplicationErrorReport& report;
};

/// One press of "Start Converting": checks the list and the output folder,
/// converts every listed file top to bottom into the output folder with the
/// options in force, shows which file is converted and how far it has got,
/// and ends with "Done.". Failures of single files are reported and the run
/// goes on. Closing the window ends the run at once, without a message.
class ConversionRun {
 public:
  ConversionRun(const RunControls& controls, const RunWindow& window,
                const rowvane::ConversionTuning& tuning)
      : m_controls(controls), m_window(window), m_tuning(tuning) {}

  void run();

 private:
  // Texts taken once, when the run starts.
  struct RunTexts {
    std::string separator;
    std::string documentTag;
    std::string rowTag;
  };

  bool convertPosition(ErrorTrap& trap, const RunTexts& texts, int position);
  rowvane::FileOutcome convertFile(const QString& path, const RunTexts& texts);
  void letPendingEventsRun();
  void showShareOfFilesBegun(int position);
  void tell(const QString& message);

  RunControls m_controls;
  RunWindow m_window;
  rowvane::ConversionTuning m_tuning;
};

}  // namespace rowvane::app
