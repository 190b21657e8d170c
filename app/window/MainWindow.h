#pragma once

#include <QMainWindow>

#include "app/window/Form1.h"

namespace rowvane::app {

/// The program's one window: Form1 as its client area, fixed in size,
/// centred on the screen, with a minimize button but none to maximize.
/// Closing it ends whatever runs and, with it, the program.
///
/// A menu bar is added with QMainWindow::menuBar(); it sits above Form1,
/// which keeps its size and layout while the window grows by the bar's
/// height.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(const WindowServices& services, QWidget* parent = nullptr);

  Form1& form() { return m_form; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  Form1 m_form;
};

}  // namespace rowvane::app
