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

namespace rowvane::app {

MainWindow::MainWindow(const WindowServices& services, QWidget* parent)
    : QMainWindow(parent),
      m_form(services, this),
      m_formatMenu(services.store, this),
      m_logWindow(m_form.conversionLog(), services.fileViewer, services.folderOpener, this) {
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
  m_form.setFormat(m_formatMenu.format());
  connect(&m_formatMenu, &FormatMenu::formatChanged, &m_form, &Form1::setFormat);
  connectLayoutChoices();
  connectViewMenu();
  addCornerButtons();
  showFormatChoice();
}

void MainWindow::addCornerButtons() {
  m_cornerLayout.setContentsMargins(0, 0, 0, 0);
  m_cornerLayout.setSpacing(0);
  m_cornerLayout.addWidget(&m_problemsButton);
  m_cornerLayout.addWidget(&m_formatButton);
  // Shrunk by what they would add to the bar's height, so that the window
  // keeps its height.
  QMenuBar& bar = *menuBar();
  const int barHeight = bar.sizeHint().height();
  bar.setCornerWidget(&m_corner, Qt::TopRightCorner);
  const int excess = bar.sizeHint().height() - barHeight;
  for (QToolButton* button :
       {static_cast<QToolButton*>(&m_problemsButton), static_cast<QToolButton*>(&m_formatButton)}) {
    button->setMaximumHeight(std::max(0, button->sizeHint().height() - excess));
    m_form.showArrowOver(*button);
  }
  connect(&m_formatMenu, &FormatMenu::choiceChanged, this, &MainWindow::showFormatChoice);
  ConversionLog& log = m_form.conversionLog();
  connect(&log, &ConversionLog::runBegun, &m_problemsButton,
          [this] { m_problemsButton.showProblems(0, 0); });
  connect(&log, &ConversionLog::runLogged, &m_problemsButton, &RunProblemsButton::showProblems);
  connect(&m_problemsButton, &RunProblemsButton::conversionLogRequested, &m_logWindow,
          &ConversionLogWindow::present);
}

void MainWindow::connectLayoutChoices() {
  using Kind = ChooseLayoutFile::Kind;
  connect(&m_formatMenu, &FormatMenu::templateRequested, this, [this] {
    if (const std::optional<QString> path = m_form.chooseLayoutFile(Kind::Template)) {
      m_formatMenu.chooseTemplate(*path);
    }
  });
  connect(&m_formatMenu, &FormatMenu::saveTemplateRequested, &m_form, &Form1::saveTemplate);
  connect(&m_formatMenu, &FormatMenu::schemaRequested, this, [this] {
    if (const std::optional<QString> path = m_form.chooseLayoutFile(Kind::Schema)) {
      m_formatMenu.chooseSchema(*path);
    }
  });
}

void MainWindow::showFormatChoice() {
  m_form.setLayoutFiles(
      {m_formatMenu.layout(), m_formatMenu.templatePath(), m_formatMenu.schemaPath()});
  m_formatButton.showFormat(m_formatMenu.format(), m_formatMenu.layout(),
                            m_formatMenu.templatePath(), m_formatMenu.schemaPath());
}

void MainWindow::connectViewMenu() {
  connect(&m_viewMenu, &ViewMenu::previewRequested, &m_previewWindow, &PreviewWindow::present);
  connect(&m_form, &Form1::previewInputsChanged, &m_previewWindow, &PreviewWindow::inputsChanged);
  connect(&m_viewMenu, &ViewMenu::conversionLogRequested, &m_logWindow,
          &ConversionLogWindow::present);
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
