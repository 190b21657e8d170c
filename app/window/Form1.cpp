#include "app/window/Form1.h"

#include <QApplication>
#include <QFont>
#include <QHeaderView>
#include <QPalette>
#include <limits>

#include "app/controls/Twips.h"
#include "app/desktop/DialogLook.h"
#include "app/desktop/PersistentSettings.h"
#include "app/handlers/AddFilesByDialog.h"
#include "app/handlers/AddFolderFiles.h"
#include "app/handlers/ChooseOutputFolder.h"
#include "app/handlers/ConversionRun.h"
#include "app/handlers/DropFiles.h"
#include "app/handlers/ErrorTrap.h"
#include "app/handlers/LoadSamples.h"
#include "app/handlers/SaveTemplate.h"
#include "app/handlers/StartUp.h"

namespace rowvane::app {

namespace {

constexpr int kClientWidth = 8040;
constexpr int kClientHeight = 9915;

QFont ArialBold(double points) {
  QFont font(WindowFontFamily());
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

QColor SkinColour() {
  return QApplication::palette().color(QPalette::Button);
}

}  // namespace

Form1::Form1(const WindowServices& services, QWidget* parent)
    : QWidget(parent), m_services(services), m_report(services.messageBoxes, this) {
  setObjectName(QStringLiteral("Form1"));
  setFixedSize(PixelsFromTwips(kClientWidth), PixelsFromTwips(kClientHeight));
  placeControls();
  setCaptionsAndInitialValues();
  setFonts();
  describeControls();
  for (QGroupBox* frame : {&Frame1, &Frame2, &Frame3, &Frame4, &Frame5, &Frame6}) {
    frame->setStyle(&m_frameStyle);
  }
  paintBackgrounds(Qt::white);
  for (QLineEdit* box : {&Text1, &Text3, &Text4, &Text5}) {
    PaintTextBackground(*box, Qt::white);
    // Qt cuts a line edit at 32,767 characters by default; tags and folders
    // must arrive whole, however long.
    box->setMaxLength(std::numeric_limits<int>::max());
  }
  arrangeTabOrder();
  watchHovering();
  connectHandlers();
  watchPreviewInputs();
  startUp();
}

// ---------------------------------------------------------------- design

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

void Form1::describeControls() {
  struct Description {
    QWidget& control;
    const char* name;
    const char* description;
  };
  // Names as a screen reader should say them: a frame's or button's caption,
  // or what a box holds.
  const Description descriptions[] = {
      {ListView1, "CSV File(s)",
       "The files the next run converts. Delete removes the selected file; dropped files and "
       "folders are added."},
      {PushButton8, "Add CSV File(s)",
       "Chooses CSV files in a file dialog and adds them to the list."},
      {PushButton9, "Add All CSV File(s) In Folder",
       "Chooses a folder and adds the CSV files in it and in every folder below it."},
      {PushButton4, "Clear List", "Removes every file from the list."},
      {PushButton5, "Load Sample/Example Files",
       "Adds the sample files that come with the program."},
      {Frame1, "Input Options", "How the CSV files are read."},
      {Check1, "There is a header row in CSVs",
       "When ticked, the first line of a file names the fields."},
      {Frame3, "Separating character or characters in CSVs", "The text between two fields."},
      {Text3, "Separator", "The character or characters between fields; empty keeps lines whole."},
      {Frame2, "XML Output Options", "How the XML files are written."},
      {Check2, "Include row tags in output", "When ticked, each record stands in a row element."},
      {Frame4, "Row tag", "The name of the element around each record."},
      {Text4, "Row tag", "The name of the element around each record."},
      {Frame5, "XML tag", "The name of the element around the whole document."},
      {Text5, "XML tag", "The name of the element around the whole document."},
      {Frame6, "Save Results To This Folder", "Where the XML files are written."},
      {Text1, "Output folder", "The folder the XML files are written to."},
      {PushButton1, "Choose Output Folder", "Chooses the output folder in a folder dialog."},
      {PushButton7, "Start Converting",
       "Converts every file in the list into an XML file in the output folder."},
      {ProgressBar1, "Progress", "Which file is being converted and how far it has got."},
  };
  for (const Description& entry : descriptions) {
    entry.control.setAccessibleName(QString::fromUtf8(entry.name));
    entry.control.setAccessibleDescription(QString::fromUtf8(entry.description));
  }
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
  // Buttons show the hand; the list, frames, check boxes and option boxes
  // the arrow.
  const QList<QWidget*> hands{&PushButton1, &PushButton4, &PushButton5,
                              &PushButton7, &PushButton8, &PushButton9};
  QList<QWidget*> arrows{&ListView1, ListView1.viewport(), ListView1.header()};
  arrows << &Frame1 << &Frame2 << &Frame3 << &Frame4 << &Frame5 << &Frame6 << &Check1 << &Check2
         << &Text3 << &Text4 << &Text5;
  setMouseTracking(true);
  for (const auto& [controls, pointer] :
       {std::pair{hands, WindowPointer::kCustom}, std::pair{arrows, WindowPointer::kDefault}}) {
    for (QWidget* control : controls) {
      m_hoverPointers.insert(control, pointer);
      control->setMouseTracking(true);
      control->setAttribute(Qt::WA_NoMousePropagation);
      control->installEventFilter(this);
    }
  }
  // No hover rule here: the pointer stays as it is, and the movement must
  // not reach the frame or window behind.
  for (QWidget* quiet : {static_cast<QWidget*>(&Text1), static_cast<QWidget*>(&ProgressBar1)}) {
    quiet->setMouseTracking(true);
    quiet->setAttribute(Qt::WA_NoMousePropagation);
  }
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

// ---------------------------------------------------------------- wiring

HandlerContext Form1::handlerContext() {
  return {this, m_services, m_report, m_pointer, m_pump, m_applicationTitle};
}

void Form1::connectHandlers() {
  // Handlers report their own failures; whatever still escapes one must not
  // leave a Qt slot, so each runs untrapped.
  const auto untrapped = [](auto handler) { return [handler] { RunUntrapped(handler); }; };
  connect(&PushButton1, &QPushButton::clicked, this,
          untrapped([this] { ChooseOutputFolder(handlerContext(), Text1).run(); }));
  connect(&PushButton4, &QPushButton::clicked, this,
          untrapped([this] { ListView1.listItems().Clear(); }));
  connect(&PushButton5, &QPushButton::clicked, this,
          untrapped([this] { LoadSamples(handlerContext(), ListView1.listItems()).run(); }));
  connect(&PushButton7, &QPushButton::clicked, this, [this] { startConverting(); });
  connect(&PushButton8, &QPushButton::clicked, this, untrapped([this] {
    AddFilesByDialog(handlerContext(), CommonDialog1, ListView1.listItems()).run();
  }));
  connect(&PushButton9, &QPushButton::clicked, this,
          untrapped([this] { AddFolderFiles(handlerContext(), ListView1.listItems()).run(); }));
  // The box is stored at every change, so that it survives however the
  // program ends.
  connect(&Text1, &QLineEdit::textChanged, this,
          untrapped([this] { m_services.settings.setOutputFolder(Text1.text()); }));
  connect(&ListView1, &FileListView::DblClick, this, untrapped([this] { removeSelectedEntry(); }));
  connect(&ListView1, &FileListView::KeyDown, this, [this](int key) {
    if (key == Qt::Key_Delete) {
      RunUntrapped([this] { removeSelectedEntry(); });
    }
  });
  // Queued, so that the drag source is released before a dropped folder is
  // walked.
  connect(
      &ListView1, &FileListView::OLEDragDrop, this,
      [this](const QStringList& paths) { addPathsAsDropped(paths); }, Qt::QueuedConnection);
}

void Form1::watchPreviewInputs() {
  const auto changed = [this] { emit previewInputsChanged(); };
  for (QLineEdit* box : {&Text3, &Text4, &Text5}) {
    connect(box, &QLineEdit::textChanged, this, changed);
  }
  for (QCheckBox* box : {&Check1, &Check2}) {
    connect(box, &QCheckBox::toggled, this, changed);
  }
  QAbstractItemModel& entries = *ListView1.model();
  connect(&entries, &QAbstractItemModel::rowsInserted, this, changed);
  connect(&entries, &QAbstractItemModel::rowsRemoved, this, changed);
  connect(&entries, &QAbstractItemModel::modelReset, this, changed);
  connect(&ListView1, &QTreeWidget::currentItemChanged, this, changed);
}

void Form1::setLayoutFiles(const LayoutFiles& files) {
  m_layoutFiles = files;
  // Options the layout overrides say so while it holds.
  const bool withTemplate = files.layout == rowvane::OutputLayout::Template;
  const QString byTemplate =
      withTemplate ? QStringLiteral("No effect with a template: the template names every element.")
                   : QString();
  Text4.setToolTip(byTemplate);
  Text5.setToolTip(byTemplate);
  const bool withAttributes = files.layout == rowvane::OutputLayout::FieldsAsAttributes;
  Check2.setToolTip(withAttributes
                        ? QStringLiteral("No effect with attributes: each record is a row element.")
                        : byTemplate);
  // Disabled while ignored, so that nobody types into them in vain.
  Text4.setEnabled(!withTemplate);
  Text5.setEnabled(!withTemplate);
  Check2.setEnabled(!withTemplate && !withAttributes);
  emit previewInputsChanged();
}

std::optional<QString> Form1::chooseLayoutFile(ChooseLayoutFile::Kind kind) {
  std::optional<QString> chosen;
  RunUntrapped([&] { chosen = ChooseLayoutFile(handlerContext(), kind).run(); });
  return chosen;
}

void Form1::saveTemplate() {
  PreviewRequest entry = previewRequest();
  // The escaped element layout, as the command line writes it.
  entry.settings.Format.escaping = rowvane::Escaping::Xml;
  RunUntrapped([&] { SaveTemplate(handlerContext(), entry.path, entry.settings).run(); });
}

PreviewRequest Form1::previewRequest() const {
  const ListItems& items = ListView1.listItems();
  const int position = ListView1.SelectedItemIndex().value_or(1);
  return {
      position <= items.Count() ? items.Text(position) : QString(),
      WindowSettings(Text3.text().toStdString(), Text5.text().toStdString(),
                     Text4.text().toStdString(), Check1.isChecked(), Check2.isChecked(), m_format),
      m_layoutFiles};
}

void Form1::addPathsAsDropped(const QStringList& paths) {
  RunUntrapped([&] { DropFiles(handlerContext(), ListView1.listItems()).run(paths); });
}

void Form1::startUp() {
  RunUntrapped([this] {
    const StartUpResult result = StartUp(handlerContext(), ListView1, Text1, [this] {
                                   paintBackgrounds(SkinColour());
                                 }).run();
    m_applicationTitle = result.applicationTitle;
    m_skinApplied = result.skinApplied;
  });
}

void Form1::startConverting() {
  // A press while a run is going does nothing: runs never nest.
  if (m_converting) {
    return;
  }
  m_converting = true;
  m_stopRequested = false;
  emit convertingChanged(true);
  const std::function<void()> showLog = [this] { emit conversionLogRequested(); };
  RunUntrapped([&] {
    const RunControls controls{ListView1, Text1,         Text3,        Text4,    Text5,
                               Check1,    Check2,        ProgressBar1, m_format, m_stopRequested,
                               m_log,     m_layoutFiles, showLog};
    ConversionRun(controls, handlerContext()).run();
  });
  m_converting = false;
  emit convertingChanged(false);
}

void Form1::removeSelectedEntry() {
  // The hourglass means a long operation is walking the list.
  if (m_pointer.busy()) {
    return;
  }
  if (const std::optional<int> selected = ListView1.SelectedItemIndex()) {
    ListView1.listItems().Remove(*selected);
  }
}

// ---------------------------------------------------------------- pointer

void Form1::changeEvent(QEvent* event) {
  // The skinned colour follows the user's colour scheme.
  if (event->type() == QEvent::ApplicationPaletteChange && m_skinApplied) {
    RunUntrapped([&] { paintBackgrounds(SkinColour()); });
  }
  QWidget::changeEvent(event);
}

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
