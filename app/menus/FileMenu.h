#pragma once

#include <QAction>
#include <QMenu>

namespace rowvane::app {

/// The "File" menu: each action asks for what a button of the window does
/// (connect the signals to the handlers of those buttons), plus stopping a
/// run and quitting. "Stop Converting" is enabled only while a run goes on,
/// "Start Converting" only while none does.
class FileMenu : public QMenu {
  Q_OBJECT

 public:
  explicit FileMenu(QWidget* parent = nullptr);

  /// Tells the menu whether a run is going on, for "Start Converting" and
  /// "Stop Converting".
  void setConverting(bool converting);

  QAction AddFiles{this};
  QAction AddFolder{this};
  QAction LoadSamples{this};
  QAction ClearList{this};
  QAction StartConverting{this};
  QAction StopConverting{this};
  QAction Quit{this};

 signals:
  void addFilesRequested();
  void addFolderRequested();
  void loadSamplesRequested();
  void clearListRequested();
  void startConvertingRequested();
  void stopConvertingRequested();
  void quitRequested();
};

}  // namespace rowvane::app
