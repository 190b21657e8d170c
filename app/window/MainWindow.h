#pragma once

#include <QMainWindow>

#include "app/menus/FileMenu.h"
#include "app/menus/FormatCornerButton.h"
#include "app/menus/FormatMenu.h"
#include "app/menus/HelpMenu.h"
#include "app/window/Form1.h"

namespace rowvane::app {

/// The program's one window: Form1 as its client area, fixed in size,
/// centred on the screen, with a minimize button but none to maximize, and
/// the File, Format and Help menus in a bar above it, and at the bar's right
/// end a button saying what the Format menu has in force. Form1 keeps its
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
  void addFormatButton();

  Form1 m_form;
  FileMenu m_fileMenu{this};
  FormatMenu m_formatMenu;
  HelpMenu m_helpMenu{this};
  FormatCornerButton m_formatButton{m_formatMenu};
};

}  // namespace rowvane::app
