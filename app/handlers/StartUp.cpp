#include "app/handlers/StartUp.h"

#include <QFile>
#include <QIcon>
#include <QLineEdit>
#include <QWidget>

#include "app/controls/FileListView.h"
#include "app/controls/WindowPointer.h"
#include "app/desktop/ApplicationTitle.h"
#include "app/desktop/CursorFile.h"
#include "app/desktop/OccasionalHomePage.h"
#include "app/desktop/OptionalSkin.h"
#include "app/desktop/PersistentSettings.h"
#include "app/desktop/ProductInfo.h"
#include "app/desktop/WindowServices.h"
#include "app/handlers/ErrorTrap.h"
#include "engine/Files.h"

namespace rowvane::app {

namespace {

constexpr char kLocation[] = "in Rowvane2017/04/05.Form1.Form_Load ";
constexpr int kColumnWidthTwips = 7000;

// Labels of the statements that can fail, as the error report quotes them.
struct StartUpLine {
  static constexpr int ApplySkin = 100;
  static constexpr int LoadHandCursor = 108;
  static constexpr int OpenHomePage = 110;
  static constexpr int FillOutputFolder = 132;
};

}  // namespace

StartUpResult StartUp::run() {
  ErrorTrap trap(m_context.report, QString::fromUtf8(kLocation));
  StartUpResult result;
  trap.step(StartUpLine::ApplySkin, [&] { result.skinApplied = applyOptionalSkin(); });
  QWidget& window = *m_context.owner->window();
  window.setWindowTitle(QString::fromUtf8(kProductName));
  window.setWindowIcon(QIcon(QStringLiteral(":/rowvane/rowvane.png")));
  // Kept by the window and handed to each message box, and deliberately not
  // made Qt's application display name: on X11, Qt appends that name to
  // every window title that does not already end with it.
  result.applicationTitle = ApplicationTitleFrom(QString::fromUtf8(kProductName));
  trap.step(StartUpLine::LoadHandCursor, [&] { loadHandCursor(); });
  trap.step(StartUpLine::OpenHomePage, [&] {
    OccasionalHomePage(m_context.services.randomFraction, m_context.services.homePageOpener);
  });
  m_list.AddColumn(QStringLiteral("CSV File(s)"));
  m_list.SetColumnWidthTwips(kColumnWidthTwips);
  trap.step(StartUpLine::FillOutputFolder, [&] { fillOutputFolder(); });
  return result;
}

bool StartUp::applyOptionalSkin() {
  if (!SkinFileIsPresent(m_context.services.programFolder)) {
    return false;
  }
  // No skin format is understood; only the colours of a skinned window apply.
  m_applySkinColours();
  return true;
}

void StartUp::loadHandCursor() {
  const QString path = m_context.services.programFolder + QStringLiteral("/HAND-M.CUR");
  if (!rowvane::PathExists(QFile::encodeName(path).toStdString())) {
    return;
  }
  // An unreadable file leaves the desktop's own hand in its place.
  if (const std::optional<QCursor> hand = LoadCursorFile(path)) {
    m_context.pointer.setCustomCursor(*hand);
  }
}

void StartUp::fillOutputFolder() {
  // The default is worked out first, even when a folder is stored: a desktop
  // that cannot be found is reported whatever is stored.
  const QString fallback = DefaultOutputFolder(m_context.services.desktopFolder());
  m_folderBox.setText(m_context.services.settings.outputFolder(fallback));
}

}  // namespace rowvane::app
