#pragma once

#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <QWidget>

namespace rowvane::app {

class ConversionLog;
class FileViewer;
class FolderOpener;

/// The "Conversion Log" window beside the main one: the log's table, where a
/// double-click (or Enter) on a converted file opens its output in the
/// desktop's viewer, and a button that opens the output folder of the
/// selected file (else of the newest). Non-modal; closing only hides it.
class ConversionLogWindow : public QWidget {
  Q_OBJECT

 public:
  ConversionLogWindow(ConversionLog& log, FileViewer& viewer, FolderOpener& folders,
                      QWidget* parent);

  /// Shows the window, or brings it to the front when it is up.
  void present();

 private:
  void layOut();
  void viewOutput(const QModelIndex& index);
  void openOutputFolder();
  int chosenRow() const;

  ConversionLog& m_log;
  FileViewer& m_viewer;
  FolderOpener& m_folders;
  QVBoxLayout m_layout{this};
  QTableView m_table{this};
  QPushButton m_openFolder{this};
};

}  // namespace rowvane::app
