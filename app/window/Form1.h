#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "app/controls/CommonDialog.h"
#include "app/controls/FileListView.h"
#include "app/controls/HoverPointers.h"
#include "app/controls/PlainFrameStyle.h"
#include "app/controls/TextProgressBar.h"
#include "app/controls/WindowPointer.h"
#include "app/desktop/EventPump.h"
#include "app/desktop/WindowServices.h"
#include "app/handlers/ApplicationErrorReport.h"
#include "app/handlers/ChooseLayoutFile.h"
#include "app/handlers/ConversionLog.h"
#include "app/handlers/HandlerContext.h"
#include "app/handlers/PreviewConversion.h"
#include "app/handlers/WindowSettings.h"
#include "app/options/WindowOptions.h"
#include "engine/Settings.h"

namespace rowvane::app {

/// The program's client area, 536 x 661 pixels: the file list, the buttons
/// that fill and empty it, the conversion options, the output folder, "Start
/// Converting" and the progress bar. It lays the controls out and hands each
/// gesture to its handler; start-up runs when it is created. The controls
/// keep their design names as object names.
class Form1 : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int MousePointer READ MousePointer WRITE setMousePointer)

 public:
  /// Reads the Format menu's choice from `options`, which outlive it.
  Form1(const WindowServices& services, const WindowOptions& options, QWidget* parent = nullptr);

  /// The window's pointer: 0 arrow, 11 hourglass (busy), 99 hand.
  int MousePointer() const { return m_pointer.value(); }
  void setMousePointer(int value) { m_pointer.set(value); }

  /// The title of the program's message boxes, set at start-up.
  QString applicationTitle() const { return m_applicationTitle; }

  /// True when start-up found the skin file and gave the window its colours.
  bool skinApplied() const { return m_skinApplied; }

  /// Adds files and folders as a drop onto the list would (files named on the
  /// command line, or handed over by a later start of the program).
  void addPathsAsDropped(const QStringList& paths);

  /// The window is closing: any long operation still going notices at its
  /// next pause and ends.
  void windowClosing() { m_pump.windowClosed(); }

  /// The buttons a menu entry can stand in for.
  enum class Button { AddFiles, AddFolder, LoadSamples, ClearList, StartConverting };

  /// Clicks `button` as the user would, so that an entry standing in for it
  /// does exactly what it does.
  void click(Button button) { buttonFor(button).click(); }

  /// Makes `area` outside the client area, such as the window's menu bar, show
  /// the arrow when the mouse moves over it, as the client area's own surface
  /// does: no button's hand is left standing over it.
  void showArrowOver(QWidget& area) { m_hover.show({&area}, WindowPointer::kDefault, false); }

  /// Asks for a template or schema file, which the user gets only once it
  /// loads; nothing when cancelled or refused.
  std::optional<QString> chooseLayoutFile(ChooseLayoutFile::Kind kind);

  /// Saves the template of the selected entry (else the first) with the
  /// options as they stand, to a file the user names.
  void saveTemplate();

  /// What the preview shows now: the selected entry, else the first, with
  /// the options as they stand.
  PreviewRequest previewRequest() const;

  /// Every file of this session's runs.
  ConversionLog& conversionLog() { return m_log; }

  /// Asks the run going on to end at its next pause as if the list ended
  /// there; outside a run nothing happens.
  void stopConverting() { m_stopRequested = m_converting; }

 signals:
  /// A run has started (true) or ended (false).
  void convertingChanged(bool converting);
  /// The entries, the selection or an option has changed.
  void previewInputsChanged();
  /// The user asked for the conversion log from a run's closing box.
  void conversionLogRequested();

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void placeControls();
  void setCaptionsAndInitialValues();
  void setFonts();
  void arrangeTabOrder();
  void watchHovering();
  void connectHandlers();
  void watchPreviewInputs();
  void showOptions();
  OptionValues optionValues() const;
  void paintBackgrounds(const QColor& colour);
  void startUp();
  void startConverting();
  void removeSelectedEntry();
  HandlerContext handlerContext();
  QPushButton& buttonFor(Button button) {
    switch (button) {
      case Button::AddFiles:
        return PushButton8;
      case Button::AddFolder:
        return PushButton9;
      case Button::LoadSamples:
        return PushButton5;
      case Button::ClearList:
        return PushButton4;
      case Button::StartConverting:
        break;
    }
    return PushButton7;
  }

  // Declared before the controls: they are built first and outlive them.
  WindowServices m_services;
  ApplicationErrorReport m_report;
  WindowPointer m_pointer{*this};
  EventPump m_pump;
  CommonDialog CommonDialog1{m_services.fileDialog};
  QString m_applicationTitle;
  HoverPointers m_hover{m_pointer};
  bool m_skinApplied = false;
  bool m_converting = false;
  bool m_stopRequested = false;
  const WindowOptions& m_options;
  ConversionLog m_log;
  PlainFrameStyle m_frameStyle;

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
};

}  // namespace rowvane::app
