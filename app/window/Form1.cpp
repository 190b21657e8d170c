#include "app/window/Form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QPalette>
#include <QScreen>
#include <limits>

#include "app/desktop/ApplicationTitle.h"
#include "app/desktop/CursorFile.h"
#include "app/desktop/FolderDialog.h"
#include "app/desktop/FolderOpener.h"
#include "app/desktop/MessageBoxes.h"
#include "app/desktop/OptionalSkin.h"
#include "app/desktop/PathExists.h"
#include "app/desktop/PersistentSettings.h"
#include "app/desktop/ProductInfo.h"
#include "app/handlers/ConversionRun.h"
#include "app/handlers/ErrorTrap.h"
#include "app/handlers/HandlerLocation.h"
#include "app/handlers/Untrapped.h"
#include "app/window/Twips.h"
#include "filelist/GatherFolderFiles.h"

namespace rowvane::app {

namespace {

constexpr int kClientWidth = 8040;
constexpr int kClientHeight = 9915;
constexpr int kColumnWidthTwips = 7000;
constexpr char kFolderPrompt[] = "Please select folder:";
constexpr char kAddFilesTitle[] = "Add File(s) - Hold Ctrl to select multiple files";
constexpr char kCsvFilter[] = "CSV Files (*.csv)";
constexpr char kSamplesQuestion[] =
    "Would you like this software to open the folder where these sample files are stored (so "
    "that you can view them before working with them)?";

QFont ArialBold(double points) {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(points);
  font.setBold(true);
  return font;
}

// Fills the widget's own background (a check box paints with its button role).
void PaintBackground(QWidget& widget, const QColor& colour) {
  QPalette palette = widget.palette();
  palette.setColor(widget.backgroundRole(), colour);
  widget.setPalette(palette);
  widget.setAutoFillBackground(true);
}

void PaintTextBackground(QLineEdit& box, const QColor& colour) {
  QPalette palette = box.palette();
  palette.setColor(QPalette::Base, colour);
  box.setPalette(palette);
}

std::string Utf8(const QString& text) {
  return text.toStdString();
}

// The two breaks are bare carriage returns, as in every message of the window.
QString RefusalMessage(const QString& path) {
  return path + QStringLiteral("\r\rwas not added because it has bad characters in the filename.");
}

QString TooManyFilesMessage() {
  return QStringLiteral(
      "You've selected too many files to add.\r\rPlease try adding via the \"Add All\" button.");
}

}  // namespace

Form1::Form1(const WindowServices& services, QWidget* parent)
    : QWidget(parent), m_services(services), m_report(services.messageBoxes, this) {
  buildWindow();
  connectHandlers();
  Form_Load();
}

// ---------------------------------------------------------------- design

void Form1::buildWindow() {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Form1"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(PixelsFromTwips(kClientWidth), PixelsFromTwips(kClientHeight));
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  placeControls();
  setCaptionsAndInitialValues();
  setFonts();
  paintBackgrounds(Qt::white);
  for (QLineEdit* box : {&Text1, &Text3, &Text4, &Text5}) {
    PaintTextBackground(*box, Qt::white);
    // Qt cuts a line edit at 32,767 characters by default; tags and folders
    // must arrive whole, however long.
    box->setMaxLength(std::numeric_limits<int>::max());
  }
  arrangeTabOrder();
  watchHovering();
}

void Form1::placeControls() {
  struct Placement {
    QWidget& control;
    const char* name;
    QRect twips;
  };
  const Placement placements[] = {
      {ListView1, "ListView1", {120, 120, 7800, 2535}},
      {PushButton8, "PushButton8", {120, 2750, 3840, 405}},
      {PushButton9, "PushButton9", {4080, 2750, 3840, 405}},
      {PushButton4, "PushButton4", {120, 3260, 3840, 405}},
      {PushButton5, "PushButton5", {4080, 3260, 3840, 405}},
      {Frame1, "Frame1", {120, 3705, 7800, 1605}},
      {Check1, "Check1", {225, 300, 3375, 255}},
      {Frame3, "Frame3", {240, 630, 7335, 795}},
      {Text3, "Text3", {240, 300, 6840, 345}},
      {Frame2, "Frame2", {120, 5385, 7800, 2475}},
      {Check2, "Check2", {240, 300, 3255, 255}},
      {Frame4, "Frame4", {240, 630, 7335, 795}},
      {Text4, "Text4", {240, 300, 6840, 345}},
      {Frame5, "Frame5", {240, 1500, 7335, 795}},
      {Text5, "Text5", {240, 300, 6840, 345}},
      {Frame6, "Frame6", {120, 7950, 7800, 810}},
      {Text1, "Text1", {240, 300, 6495, 345}},
      {PushButton1, "PushButton1", {6840, 300, 720, 345}},
      {PushButton7, "PushButton7", {120, 8880, 7800, 405}},
      {ProgressBar1, "ProgressBar1", {120, 9400, 7800, 405}},
  };
  for (const Placement& placement : placements) {
    placement.control.setObjectName(QString::fromLatin1(placement.name));
    const QRect& t = placement.twips;
    placement.control.setGeometry(RectFromTwips(t.x(), t.y(), t.width(), t.height()));
  }
}

void Form1::setCaptionsAndInitialValues() {
  ListView1.setToolTip(
      QStringLiteral("Drag and drop files here. Double-click item to remove it. Move | line to "
                     "right and out of window to reveal full names."));
  PushButton8.setText(QStringLiteral("Add CSV File(s)"));
  PushButton9.setText(QStringLiteral("Add All CSV File(s) In Folder"));
  PushButton4.setText(QStringLiteral("Clear List"));
  PushButton5.setText(QStringLiteral("Load Sample/Example Files"));
  Frame1.setTitle(QStringLiteral("Input Options"));
  Check1.setText(QStringLiteral("There is a header row in CSVs"));
  Check1.setChecked(true);
  Frame3.setTitle(QStringLiteral("Separating character or characters in CSVs"));
  Text3.setText(QStringLiteral(","));
  Frame2.setTitle(QStringLiteral("XML Output Options"));
  Check2.setText(QStringLiteral("Include row tags in output"));
  Check2.setChecked(true);
  Frame4.setTitle(QStringLiteral("Row tag:"));
  Text4.setText(QStringLiteral("row"));
  Frame5.setTitle(QStringLiteral("XML tag:"));
  Text5.setText(QStringLiteral("XML"));
  Frame6.setTitle(QStringLiteral("Save Results To This Folder"));
  PushButton1.setText(QStringLiteral("..."));
  PushButton7.setText(QStringLiteral("Start Converting"));
  ProgressBar1.setText(QStringLiteral("Progress Bar"));
}

void Form1::setFonts() {
  setFont(ArialBold(9));
  for (QPushButton* button :
       {&PushButton1, &PushButton4, &PushButton5, &PushButton7, &PushButton8, &PushButton9}) {
    button->setFont(ArialBold(11.25));
  }
  ListView1.setFont(ArialBold(9));
}

void Form1::arrangeTabOrder() {
  // Frames and the progress bar take no focus; the rest follow the design's
  // tab indexes.
  QWidget* const order[] = {&ListView1, &PushButton8, &PushButton9, &PushButton4, &PushButton5,
                            &Check1,    &Check2,      &PushButton7, &Text3,       &Text4,
                            &Text5,     &Text1,       &PushButton1};
  for (std::size_t i = 1; i < std::size(order); ++i) {
    QWidget::setTabOrder(order[i - 1], order[i]);
  }
}

void Form1::watchHovering() {
  const std::pair<QWidget*, int> sources[] = {
      {&PushButton1, WindowPointer::kCustom},
      {&PushButton4, WindowPointer::kCustom},
      {&PushButton5, WindowPointer::kCustom},
      {&PushButton7, WindowPointer::kCustom},
      {&PushButton8, WindowPointer::kCustom},
      {&PushButton9, WindowPointer::kCustom},
      {&ListView1, WindowPointer::kDefault},
      {ListView1.viewport(), WindowPointer::kDefault},
      {ListView1.header(), WindowPointer::kDefault},
      {&Frame1, WindowPointer::kDefault},
      {&Frame2, WindowPointer::kDefault},
      {&Frame3, WindowPointer::kDefault},
      {&Frame4, WindowPointer::kDefault},
      {&Frame5, WindowPointer::kDefault},
      {&Frame6, WindowPointer::kDefault},
      {&Check1, WindowPointer::kDefault},
      {&Check2, WindowPointer::kDefault},
      {&Text3, WindowPointer::kDefault},
      {&Text4, WindowPointer::kDefault},
      {&Text5, WindowPointer::kDefault},
  };
  setMouseTracking(true);
  for (const auto& [control, pointer] : sources) {
    m_hoverPointers.insert(control, pointer);
    control->setMouseTracking(true);
    control->setAttribute(Qt::WA_NoMousePropagation);
    control->installEventFilter(this);
  }
  // No hover handler here: the pointer stays as it is, and the movement must
  // not reach the frame or window behind.
  for (QWidget* quiet : {static_cast<QWidget*>(&Text1), static_cast<QWidget*>(&ProgressBar1)}) {
    quiet->setMouseTracking(true);
    quiet->setAttribute(Qt::WA_NoMousePropagation);
  }
}

void Form1::connectHandlers() {
  connect(&PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
  connect(&PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
  connect(&PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
  connect(&PushButton7, &QPushButton::clicked, this, &Form1::PushButton7_Click);
  connect(&PushButton8, &QPushButton::clicked, this, &Form1::PushButton8_Click);
  connect(&PushButton9, &QPushButton::clicked, this, &Form1::PushButton9_Click);
  connect(&Text1, &QLineEdit::textChanged, this, &Form1::Text1_Change);
  connect(&ListView1, &FileListView::DblClick, this, &Form1::ListView1_DblClick);
  connect(&ListView1, &FileListView::KeyDown, this, &Form1::ListView1_KeyDown);
  // Queued, so that the drag source is released before a dropped folder is
  // walked.
  connect(&ListView1, &FileListView::OLEDragDrop, this, &Form1::ListView1_OLEDragDrop,
          Qt::QueuedConnection);
}

void Form1::paintBackgrounds(const QColor& colour) {
  for (QWidget* surface :
       {static_cast<QWidget*>(this), static_cast<QWidget*>(&Frame1), static_cast<QWidget*>(&Frame2),
        static_cast<QWidget*>(&Frame3), static_cast<QWidget*>(&Frame4),
        static_cast<QWidget*>(&Frame5), static_cast<QWidget*>(&Frame6),
        static_cast<QWidget*>(&Check1), static_cast<QWidget*>(&Check2)}) {
    PaintBackground(*surface, colour);
  }
}

// ---------------------------------------------------------------- start-up

void Form1::Form_Load() {
  RunUntrapped([&] {
    ErrorTrap trap(m_report, QString::fromUtf8(kFormLoadLocation));
    trap.step(100, [&] { ApplyOptionalSkin(); });
    trap.step(104, [&] { setWindowTitle(QString::fromUtf8(kProductName)); });
    trap.step(104, [&] { setWindowIcon(QIcon(QStringLiteral(":/rowvane/rowvane.png"))); });
    trap.step(104, [&] { SetApplicationTitle(); });
    const QString handCursor = m_services.programFolder + QStringLiteral("/HAND-M.CUR");
    if (trap.test(106, [&] { return PathExists(handCursor); })) {
      trap.step(108, [&] { loadHandCursor(handCursor); });
    }
    trap.step(110,
              [&] { OccasionalHomePage(m_services.randomFraction, m_services.homePageOpener); });
    trap.step(128, [&] { ListView1.AddColumn(QStringLiteral("CSV File(s)")); });
    trap.step(130, [&] { ListView1.SetColumnWidthTwips(kColumnWidthTwips); });
    trap.step(132, [&] { fillOutputFolder(); });
  });
}

void Form1::ApplyOptionalSkin() {
  if (!SkinFileIsPresent(m_services.programFolder)) {
    return;
  }
  // No skin format is understood; only the colours of a skinned window apply.
  m_skinApplied = true;
  paintBackgrounds(QApplication::palette().color(QPalette::Button));
}

void Form1::SetApplicationTitle() {
  // Kept by the window and handed to each message box, and deliberately not
  // made Qt's application display name: on X11, Qt appends that name to
  // every window title that does not already end with it.
  m_applicationTitle = ApplicationTitleFrom(QString::fromUtf8(kProductName));
}

void Form1::loadHandCursor(const QString& path) {
  // An unreadable file leaves the desktop's own hand in its place.
  if (const std::optional<QCursor> hand = LoadCursorFile(path)) {
    m_pointer.setCustomCursor(*hand);
  }
}

void Form1::fillOutputFolder() {
  // The default is worked out first, even when a folder is stored.
  const QString fallback = DefaultOutputFolder(m_services.desktopFolder());
  Text1.setText(m_services.settings.outputFolder(fallback));
}

void Form1::closeEvent(QCloseEvent* event) {
  // Any long operation still going notices at its next pause and ends.
  m_pump.windowClosed();
  event->accept();
}

void Form1::changeEvent(QEvent* event) {
  // The skinned colour follows the user's colour scheme.
  if (event->type() == QEvent::ApplicationPaletteChange && m_skinApplied) {
    RunUntrapped([&] { paintBackgrounds(QApplication::palette().color(QPalette::Button)); });
  }
  QWidget::changeEvent(event);
}

// ---------------------------------------------------------------- handlers

void Form1::PushButton1_Click() {
  RunUntrapped([&] {
    ErrorTrap trap(m_report, QString::fromUtf8(kPushButton1Location));
    QString folder;
    trap.step(100, [&] {
      folder = m_services.folderDialog.chooseFolder(this, QStringLiteral("Please select folder:"));
    });
    if (trap.test(102, [&] { return folder.isEmpty(); })) {
      return;
    }
    if (trap.test(104, [&] { return !folder.endsWith(QLatin1Char('/')); })) {
      trap.step(106, [&] { Text1.setText(folder + QLatin1Char('/')); });
      return;
    }
    // The root comes back with its own separator.
    trap.step(108, [&] { Text1.setText(folder); });
  });
}

void Form1::PushButton4_Click() {
  RunUntrapped([&] {
    ErrorTrap trap(m_report, QString::fromUtf8(kPushButton4Location));
    trap.step(100, [&] { ListView1.listItems().Clear(); });
  });
}

void Form1::PushButton5_Click() {
  RunUntrapped([&] {
    ErrorTrap trap(m_report, QString::fromUtf8(kPushButton5Location));
    const QString samples = m_services.programFolder + QStringLiteral("/Samples");
    std::vector<std::string> names;
    trap.step(100, [&] {
      names = ListFiles(m_services.fileSystem, Utf8(samples), std::string(kAnyFilePattern));
    });
    std::size_t count = 0;
    trap.step(102, [&] { count = names.size(); });
    for (std::size_t index = 0; index < count; ++index) {
      trap.step(104, [&] {
        ListView1.listItems().Add(samples + QLatin1Char('/') +
                                  QString::fromStdString(names[index]));
      });
    }
    // Asked even when nothing was found: the user may want to see why.
    if (trap.test(106, [&] {
          return m_services.messageBoxes.askYesNo(this, m_applicationTitle,
                                                  QString::fromUtf8(kSamplesQuestion));
        })) {
      trap.step(108, [&] { m_services.folderOpener.open(samples + QLatin1Char('/')); });
    }
  });
}

void Form1::PushButton7_Click() {
  // A press while a run is going does nothing: runs never nest.
  if (m_converting) {
    return;
  }
  m_converting = true;
  RunUntrapped([&] {
    const RunControls controls{ListView1, Text1, Text3, Text4, Text5, Check1, Check2, ProgressBar1};
    const RunWindow window{this,   m_applicationTitle,      m_pointer,
                           m_pump, m_services.messageBoxes, m_report};
    ConversionRun(controls, window, m_services.tuning).run();
  });
  m_converting = false;
}

void Form1::PushButton8_Click() {
  RunUntrapped([&] {
    // A choice too large for the dialog sends the user to the folder button
    // instead of reporting an error.
    const auto tooManyFiles = [this](const TrappedError& error) {
      if (error.number != CommonDialog::kBufferTooSmall) {
        return ErrorTrap::Verdict::Report;
      }
      showMessage(TooManyFilesMessage());
      return ErrorTrap::Verdict::LeaveHandler;
    };
    ErrorTrap trap(m_report, QString::fromUtf8(kPushButton8Location), tooManyFiles);
    trap.step(104, [&] { CommonDialog1.setFileName(QString()); });
    // 106: several files at a time is the dialog's own setting.
    trap.step(108, [&] { CommonDialog1.setDialogTitle(QString::fromUtf8(kAddFilesTitle)); });
    trap.step(110, [&] { CommonDialog1.setFilter(QString::fromUtf8(kCsvFilter)); });
    trap.step(112, [&] { CommonDialog1.ShowOpen(this); });
    if (trap.test(114, [&] { return CommonDialog1.fileName().isEmpty(); })) {
      return;
    }
    QStringList parts;
    trap.step(116, [&] { parts = CommonDialog1.fileName().split(QChar(u'\0')); });
    if (trap.test(118, [&] { return parts.size() == 1; })) {
      QString path;
      trap.step(120, [&] { path = parts.value(0); });
      addOneChosenFile(trap, path);
      return;
    }
    addChosenFiles(trap, parts);
  });
}

// Lines 122 to 126: one file chosen.
void Form1::addOneChosenFile(ErrorTrap& trap, const QString& path) {
  if (trap.test(122, [&] { return !IsBadFileName(m_services.fileSystem, Utf8(path)); })) {
    trap.step(124, [&] { ListView1.listItems().Add(path); });
    return;
  }
  trap.step(126, [&] { showMessage(RefusalMessage(path)); });
}

// Lines 128 to 150: several files chosen; part 0 is their folder.
void Form1::addChosenFiles(ErrorTrap& trap, const QStringList& parts) {
  if (trap.test(128, [&] { return parts.size() - 1 < 1; })) {
    return;
  }
  qsizetype first = 0;
  qsizetype last = 0;
  trap.step(130, [&] { first = 1; });
  trap.step(132, [&] { last = parts.size() - 1; });
  for (qsizetype part = first; part <= last; ++part) {
    QString path;
    trap.step(140, [&] { path = parts.value(0) + QLatin1Char('/') + parts.value(part); });
    // The root folder "/" joined with a name gives a doubled separator.
    trap.step(142, [&] { path = QString::fromStdString(CollapseDoubledSeparators(Utf8(path))); });
    if (trap.test(144, [&] { return !IsBadFileName(m_services.fileSystem, Utf8(path)); })) {
      trap.step(146, [&] { ListView1.listItems().Add(path); });
    } else {
      trap.step(148, [&] { showMessage(RefusalMessage(path)); });
    }
  }
}

void Form1::PushButton9_Click() {
  RunUntrapped([&] {
    ErrorTrap trap(m_report, QString::fromUtf8(kPushButton9Location));
    QString extension;
    trap.step(100, [&] { extension = QStringLiteral("csv"); });
    QString chosen;
    trap.step(104, [&] {
      chosen = m_services.folderDialog.chooseFolder(this, QString::fromUtf8(kFolderPrompt));
    });
    if (trap.test(106, [&] { return chosen.isEmpty(); })) {
      return;
    }
    trap.step(112, [&] { m_pointer.set(WindowPointer::kHourglass); });
    std::vector<std::string> folders;
    trap.step(114, [&] { folders = {Utf8(chosen + QLatin1Char('/'))}; });
    trap.step(116, [&] {
      CollectSubFolders(m_services.fileSystem, folders, true, letEventsRunOrLeave());
    });
    addFolderFiles(trap, folders, Utf8(QStringLiteral("*.") + extension));
    trap.step(136, [&] { m_pointer.set(WindowPointer::kDefault); });
  });
}

// Lines 118 to 134: the files of every listed folder. No events run here, so
// nothing can change the list of folders meanwhile.
void Form1::addFolderFiles(ErrorTrap& trap, const std::vector<std::string>& folders,
                           const std::string& pattern) {
  if (!trap.active()) {
    return;  // the window was closed during the walk
  }
  for (const std::string& listed : folders) {
    std::string folder;
    trap.step(120, [&] { folder = listed.substr(0, listed.size() - 1); });
    std::vector<std::string> names;
    trap.step(122, [&] { names = ListFiles(m_services.fileSystem, folder, pattern); });
    for (const std::string& name : names) {
      // Lock files of documents open elsewhere begin with "~".
      if (trap.test(126, [&] { return name.starts_with('~'); })) {
        continue;
      }
      std::string candidate;
      trap.step(128, [&] { candidate = folder + "/" + name; });
      trap.step(132, [&] {
        if (IsFileToAdd(m_services.fileSystem, candidate)) {
          ListView1.listItems().Add(QString::fromStdString(CollapseDoubledSeparators(candidate)));
        }
      });
    }
  }
}

rowvane::LetEventsRun Form1::letEventsRunOrLeave() {
  return [this] {
    if (!m_pump.letPendingEventsRun()) {
      throw LeaveHandler{};
    }
  };
}

void Form1::showMessage(const QString& text) {
  m_services.messageBoxes.showMessage(this, m_applicationTitle, text, MessageIcon::None);
}

void Form1::Text1_Change() {
  RunUntrapped([&] { m_services.settings.setOutputFolder(Text1.text()); });
}

void Form1::ListView1_DblClick() {
  RunUntrapped([&] { RemoveSelectedEntry(); });
}

void Form1::ListView1_KeyDown(int key) {
  if (key == Qt::Key_Delete) {
    RunUntrapped([&] { RemoveSelectedEntry(); });
  }
}

void Form1::ListView1_OLEDragDrop(const QStringList& paths) {
  // Closing the window ends the drop at once; nothing else does.
  RunUntrapped([&] {
    for (const QString& path : paths) {
      addDroppedPath(path);
    }
  });
}

void Form1::addDroppedPath(const QString& path) {
  try {
    const std::string dropped = Utf8(path);
    if (!IsDroppedFolder(m_services.fileSystem, dropped)) {
      // A dropped file is taken as it is, whatever its name or type.
      ListView1.listItems().Add(path);
      return;
    }
    for (const std::string& file : GatherFolderFiles(m_services.fileSystem, dropped,
                                                     kAnyFilePattern, letEventsRunOrLeave())) {
      ListView1.listItems().Add(QString::fromStdString(file));
    }
  } catch (const std::exception&) {
    // A path that fails is passed over; the rest of the drop goes on.
  }
}

void Form1::RemoveSelectedEntry() {
  // The hourglass means a long operation is walking the list.
  if (m_pointer.busy() || ListView1.listItems().Count() == 0) {
    return;
  }
  if (const std::optional<int> selected = ListView1.SelectedItemIndex()) {
    ListView1.listItems().Remove(*selected);
  }
}

// ---------------------------------------------------------------- pointer

void Form1::mouseMoveEvent(QMouseEvent* event) {
  RunUntrapped([&] { m_pointer.hover(WindowPointer::kDefault); });
  QWidget::mouseMoveEvent(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove) {
    const auto found = m_hoverPointers.constFind(watched);
    if (found != m_hoverPointers.constEnd()) {
      const int pointer = found.value();
      RunUntrapped([&] { m_pointer.hover(pointer); });
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace rowvane::app
