#pragma once

#include <QString>
#include <functional>
#include <string>

#include "app/handlers/HandlerContext.h"
#include "app/handlers/LayoutFiles.h"
#include "engine/Conversion.h"
#include "engine/Settings.h"

class QCheckBox;
class QLineEdit;

namespace rowvane::app {

class ConversionLog;
class ErrorTrap;
class FileListView;
class TextProgressBar;
class WindowOptions;

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
  const WindowOptions& options;          ///< the Format menu's choice
  const bool& stopRequested;             ///< set by "Stop Converting" while the run goes on
  ConversionLog& log;                    ///< where every file the run reaches is entered
  const std::function<void()>& showLog;  ///< brings up the conversion log
};

/// One press of "Start Converting": checks the list and the output folder,
/// converts every listed file top to bottom into the output folder with the
/// options in force, shows which file is converted and how far it has got,
/// and ends with "Done.". Failures of single files are reported and the run
/// goes on. "Stop Converting" ends the run at its next pause as if the list
/// ended there: the file being written leaves nothing behind, and the run ends
/// with "Stopped." instead. Closing the window ends the run at once, without a
/// message. Every file the run reaches is entered in the conversion log. A
/// template or schema that cannot be loaded as the run starts is reported
/// once, and nothing is converted. With the attributes layout, a template or
/// a schema in force, a file that fails is told in the log only, and the
/// run ends with one box counting the files not converted, which offers the
/// log.
class ConversionRun {
 public:
  ConversionRun(const RunControls& controls, const HandlerContext& context);

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
  void showShareOfFilesBegun(int position);
  bool stopsHere();
  void leaveWhenClosed(ErrorTrap& trap);
  void tell(const QString& message);
  void tellEnd();

  RunControls m_controls;
  HandlerContext m_context;
  // Taken once, as the run starts, like the texts.
  const rowvane::CsvFormat m_format;
  const LayoutFiles m_layoutFiles;
  // The layout, template and schema, loaded once as the run starts.
  rowvane::ConversionSettings m_layout;
  bool m_stopped = false;
  // Without the Format menu's layouts and schema, each failure is reported
  // as it happens; with them, the files not converted are counted.
  const bool m_reportsEachFailure;
  int m_filesLogged = 0;
  int m_notConverted = 0;
};

}  // namespace rowvane::app
