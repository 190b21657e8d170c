#include "app/window/MainWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <algorithm>
#include <utility>

#include "app/desktop/DialogLook.h"
#include "app/desktop/ProductInfo.h"
#include "app/menus/FormatInWords.h"

namespace rowvane::app {

MainWindow::MainWindow(const WindowServices& services, QWidget* parent)
    : QMainWindow(parent),
      m_options(services.store),
      m_form(services, m_options, this),
      m_logWindow(m_form.conversionLog(), services.fileViewer, services.folderOpener,
                  services.messageBoxes, m_form.applicationTitle(), this) {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setCentralWidget(&m_form);
  setAccessibleName(QString::fromUtf8(kProductName));
  setAccessibleDescription(QStringLiteral("Converts batches of CSV files into XML files."));
  addMenus();
  // The window takes exactly the size of its parts: the menu bar and the
  // fixed client area below it. Centred once that size is known.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  layout()->activate();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void MainWindow::addMenus() {
  UseWindowFontFamily(*menuBar());
  menuBar()->setAccessibleName(QStringLiteral("Menu bar"));
  menuBar()->setAccessibleDescription(QStringLiteral("The File, Format, View and Help menus."));
  menuBar()->addMenu(&m_fileMenu);
  menuBar()->addMenu(&m_formatMenu);
  menuBar()->addMenu(&m_viewMenu);
  menuBar()->addMenu(&m_helpMenu);
  m_form.showArrowOver(*menuBar());
  connectFileMenu();
  connectLayoutChoices();
  connectViewMenu();
  addCornerButtons();
  showFormatChoice();
}

void MainWindow::addCornerButtons() {
  m_corner.placeIn(*menuBar());
  m_form.showArrowOver(m_corner.problemsButton());
  m_form.showArrowOver(m_corner.formatButton());
  connect(&m_options, &WindowOptions::changed, this, &MainWindow::showFormatChoice);
  ConversionLog& log = m_form.conversionLog();
  connect(&log, &ConversionLog::runBegun, &m_corner, [this] { m_corner.showProblems(0, 0); });
  connect(&log, &ConversionLog::runLogged, &m_corner, &MenuBarCorner::showProblems);
  connect(&m_corner.problemsButton(), &RunProblemsButton::conversionLogRequested, &m_logWindow,
          &ConversionLogWindow::present);
}

void MainWindow::connectLayoutChoices() {
  using Kind = ChooseLayoutFile::Kind;
  connect(&m_formatMenu, &FormatMenu::templateRequested, this, [this] {
    if (const std::optional<QString> path = m_form.chooseLayoutFile(Kind::Template)) {
      m_options.chooseLayout(rowvane::OutputLayout::Template, *path);
    }
  });
  connect(&m_formatMenu, &FormatMenu::saveTemplateRequested, &m_form, &Form1::saveTemplate);
  connect(&m_formatMenu, &FormatMenu::schemaRequested, this, [this] {
    if (const std::optional<QString> path = m_form.chooseLayoutFile(Kind::Schema)) {
      m_options.chooseSchema(*path);
    }
  });
}

void MainWindow::showFormatChoice() {
  const QString forced = m_options.wellFormedReason();
  m_corner.showFormat(
      FormatInWords(m_options.chosenFormat(), m_options.layout(), m_options.templatePath(),
                    m_options.schemaPath()),
      forced.isEmpty() ? QString() : QStringLiteral("Well-formed XML is on: %1.").arg(forced));
}

void MainWindow::connectViewMenu() {
  // Their keys work from the windows they open as well.
  for (QWidget* window :
       {static_cast<QWidget*>(&m_previewWindow), static_cast<QWidget*>(&m_logWindow)}) {
    window->addAction(&m_viewMenu.Preview);
    window->addAction(&m_viewMenu.ConversionLog);
  }
  connect(&m_viewMenu, &ViewMenu::previewRequested, &m_previewWindow, &PreviewWindow::present);
  connect(&m_form, &Form1::previewInputsChanged, &m_previewWindow, &PreviewWindow::inputsChanged);
  connect(&m_viewMenu, &ViewMenu::conversionLogRequested, &m_logWindow,
          &ConversionLogWindow::present);
  connect(&m_form, &Form1::conversionLogRequested, &m_logWindow, &ConversionLogWindow::present);
}

void MainWindow::connectFileMenu() {
  // Entries that stand in for a button click it, so that both always do the
  // same, including nothing where the button does nothing (a second start
  // while a run goes on).
  const std::pair<void (FileMenu::*)(), Form1::Button> standIns[] = {
      {&FileMenu::addFilesRequested, Form1::Button::AddFiles},
      {&FileMenu::addFolderRequested, Form1::Button::AddFolder},
      {&FileMenu::loadSamplesRequested, Form1::Button::LoadSamples},
      {&FileMenu::clearListRequested, Form1::Button::ClearList},
      {&FileMenu::startConvertingRequested, Form1::Button::StartConverting},
  };
  for (const auto& [request, button] : standIns) {
    connect(&m_fileMenu, request, &m_form, [this, button = button] { m_form.click(button); });
  }
  connect(&m_fileMenu, &FileMenu::stopConvertingRequested, &m_form, &Form1::stopConverting);
  connect(&m_form, &Form1::convertingChanged, &m_fileMenu, &FileMenu::setConverting);
  // As the close button: a run going on ends at its next pause.
  connect(&m_fileMenu, &FileMenu::quitRequested, this, &QWidget::close);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  m_form.windowClosing();
  event->accept();
}

}  // namespace rowvane::app
