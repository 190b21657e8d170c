#pragma once

#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>
#include <QWidget>

namespace rowvane::app {

class ConversionLog;
class FileViewer;
class FolderOpener;
class MessageBoxes;

/// The "Conversion Log" window beside the main one: the log's table, with
/// the whole story of the selected file in a details area under it; a
/// double-click (or Enter) on a converted file opens its output in the
/// desktop's viewer, and a button opens the output folder of the selected
/// file (else of the newest). What cannot be opened is told in a message box
/// titled `title`: a file not converted says why, and a file or folder the
/// desktop has no program for says so. Non-modal; Esc or closing hides it.
class ConversionLogWindow : public QWidget {
  Q_OBJECT

 public:
  ConversionLogWindow(ConversionLog& log, FileViewer& viewer, FolderOpener& folders,
                      MessageBoxes& boxes, QString title, QWidget* parent);

  /// Shows the window beside its parent, or brings it to the front when it is up.
  void present();

 private:
  void layOut();
  void viewOutput(const QModelIndex& index);
  void openOutputFolder();
  void showDetails();
  void tell(const QString& text);
  int chosenRow() const;

  ConversionLog& m_log;
  FileViewer& m_viewer;
  FolderOpener& m_folders;
  MessageBoxes& m_boxes;
  QString m_title;
  QVBoxLayout m_layout{this};
  QTableView m_table{this};
  QLabel m_details{this};
  QPushButton m_openFolder{this};
  QShortcut m_escape{QKeySequence(Qt::Key_Escape), this};
};

}  // namespace rowvane::app
