#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QHash>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "app/desktop/CommonDialog.h"
#include "app/desktop/EventPump.h"
#include "app/desktop/WindowServices.h"
#include "app/handlers/ApplicationErrorReport.h"
#include "app/window/FileListView.h"
#include "app/window/TextProgressBar.h"
#include "app/window/WindowPointer.h"
#include "filelist/AddFolder.h"

namespace rowvane::app {

class ErrorTrap;

/// The program's one window: the file list, the buttons that fill and empty
/// it, the conversion options, the output folder, "Start Converting" and the
/// progress bar. Start-up runs when the window is created; closing the window
/// ends whatever runs and, with it, the program.
class Form1 : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int MousePointer READ MousePointer WRITE setMousePointer)

 public:
  explicit Form1(const WindowServices& services, QWidget* parent = nullptr);

  /// The window's pointer: 0 arrow, 11 hourglass (busy), 99 hand.
  int MousePointer() const { return m_pointer.value(); }
  void setMousePointer(int value) { m_pointer.set(value); }

  /// The title of the program's message boxes, set at start-up.
  QString applicationTitle() const { return m_applicationTitle; }

  /// True when start-up found the skin file and gave the window its colours.
  bool skinApplied() const { return m_skinApplied; }

 private:
  // Declared before the controls: they are built first and outlive them.
  WindowServices m_services;
  ApplicationErrorReport m_report;
  WindowPointer m_pointer{*this};
  EventPump m_pump;
  CommonDialog CommonDialog1{m_services.fileDialog};
  QString m_applicationTitle;
  QHash<QObject*, int> m_hoverPointers;
  bool m_skinApplied = false;
  bool m_converting = false;

 public:
  // The controls under their design names. A frame is declared before the
  // controls it holds, so that they are destroyed before it.
  FileListView ListView1{this};
  QPushButton PushButton8{this};
  QPushButton PushButton9{this};
  QPushButton PushButton4{this};
  QPushButton PushButton5{this};
  QGroupBox Frame1{this};
  QCheckBox Check1{&Frame1};
  QGroupBox Frame3{&Frame1};
  QLineEdit Text3{&Frame3};
  QGroupBox Frame2{this};
  QCheckBox Check2{&Frame2};
  QGroupBox Frame4{&Frame2};
  QLineEdit Text4{&Frame4};
  QGroupBox Frame5{&Frame2};
  QLineEdit Text5{&Frame5};
  QGroupBox Frame6{this};
  QLineEdit Text1{&Frame6};
  QPushButton PushButton1{&Frame6};
  QPushButton PushButton7{this};
  TextProgressBar ProgressBar1{this};

 public slots:
  void PushButton1_Click();
  void PushButton4_Click();
  void PushButton5_Click();
  void PushButton7_Click();
  void PushButton8_Click();
  void PushButton9_Click();
  void Text1_Change();
  void ListView1_DblClick();
  void ListView1_KeyDown(int key);
  void ListView1_OLEDragDrop(const QStringList& paths);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildWindow();
  void placeControls();
  void setCaptionsAndInitialValues();
  void setFonts();
  void arrangeTabOrder();
  void watchHovering();
  void connectHandlers();
  void paintBackgrounds(const QColor& colour);

  void Form_Load();
  void ApplyOptionalSkin();
  void SetApplicationTitle();
  void loadHandCursor(const QString& path);
  void fillOutputFolder();

  void RemoveSelectedEntry();

  void addChosenFiles(ErrorTrap& trap, const QStringList& parts);
  void addOneChosenFile(ErrorTrap& trap, const QString& path);
  void addFolderFiles(ErrorTrap& trap, const std::vector<std::string>& folders,
                      const std::string& pattern);
  void addDroppedPath(const QString& path);
  rowvane::LetEventsRun letEventsRunOrLeave();
  void showMessage(const QString& text);
};

}  // namespace rowvane::app
