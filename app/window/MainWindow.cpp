#include "app/window/MainWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>

namespace rowvane::app {

MainWindow::MainWindow(const WindowServices& services, QWidget* parent)
    : QMainWindow(parent), m_form(services, this) {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setCentralWidget(&m_form);
  // The window takes exactly the size of its parts: the fixed client area
  // and, once there is one, the menu bar above it.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  layout()->activate();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  m_form.windowClosing();
  event->accept();
}

}  // namespace rowvane::app
