#pragma once

#include <QMainWindow>

#include "app/menus/FileMenu.h"
#include "app/menus/FormatMenu.h"
#include "app/menus/HelpMenu.h"
#include "app/menus/MenuBarCorner.h"
#include "app/menus/ViewMenu.h"
#include "app/options/WindowOptions.h"
#include "app/window/ConversionLogWindow.h"
#include "app/window/Form1.h"
#include "app/window/PreviewWindow.h"

namespace rowvane::app {

/// The program's one window: Form1 as its client area, fixed in size,
/// centred on the screen, with a minimize button but none to maximize, and
/// the File, Format, View and Help menus in a bar above it, and at the bar's
/// right end a button saying what the Format menu has in force, beside it one
/// counting the last run's problems. The View menu's windows (the preview,
/// the conversion log) stand beside it and close with it. Form1 keeps its
/// size and layout; the window is taller by the bar's height. Closing it
/// ends whatever runs and, with it, the program.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(const WindowServices& services, QWidget* parent = nullptr);

  Form1& form() { return m_form; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void addMenus();
  void connectFileMenu();
  void addCornerButtons();
  void connectViewMenu();
  void connectLayoutChoices();
  void showFormatChoice();

  // First: the menus, the client area and the corner read it.
  WindowOptions m_options;
  Form1 m_form;
  FileMenu m_fileMenu{this};
  FormatMenu m_formatMenu{m_options, this};
  ViewMenu m_viewMenu{this};
  HelpMenu m_helpMenu{this};
  MenuBarCorner m_corner{m_formatMenu};
  ConversionLogWindow m_logWindow;
  PreviewWindow m_previewWindow{[this] { return m_form.previewRequest(); }, this};
};

}  // namespace rowvane::app
