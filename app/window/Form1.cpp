#include "app/window/Form1.h"

#include <QEvent>
#include <QHeaderView>
#include <algorithm>
#include <limits>
#include <span>

#include "app/controls/FormLook.h"
#include "app/controls/Twips.h"
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
#include "app/window/Form1Design.h"

namespace rowvane::app {

Form1::Form1(const WindowServices& services, const WindowOptions& options, QWidget* parent)
    : QWidget(parent),
      m_services(services),
      m_report(services.messageBoxes, this),
      m_options(options) {
  setObjectName(QStringLiteral("Form1"));
  setFixedSize(PixelsFromTwips(8040), PixelsFromTwips(9915));  // the design's client area
  placeControls();
  setCaptionsAndInitialValues();
  setFonts();
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
  connect(&m_options, &WindowOptions::changed, this, &Form1::showOptions);
  showOptions();
  startUp();
}

// ---------------------------------------------------------------- design

void Form1::placeControls() {
  // In the order of the design table.
  QWidget* const controls[] = {&ListView1, &PushButton8, &PushButton9, &PushButton4, &PushButton5,
                               &Frame1,    &Check1,      &Frame3,      &Text3,       &Frame2,
                               &Check2,    &Frame4,      &Text4,       &Frame5,      &Text5,
                               &Frame6,    &Text1,       &PushButton1, &PushButton7, &ProgressBar1};
  const std::span<const ControlDesign> design = Form1Design();
  for (std::size_t i = 0; i < std::min(design.size(), std::size(controls)); ++i) {
    const ControlDesign& row = design[i];
    controls[i]->setObjectName(QString::fromLatin1(row.control));
    controls[i]->setGeometry(RectFromTwips(row.left, row.top, row.width, row.height));
    controls[i]->setAccessibleName(QString::fromUtf8(row.name));
    controls[i]->setAccessibleDescription(QString::fromUtf8(row.description));
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
  // Buttons show the hand; the list, frames, check boxes and option boxes
  // the arrow; the output folder and the bar leave the pointer as it is.
  setMouseTracking(true);
  m_hover.show({&PushButton1, &PushButton4, &PushButton5, &PushButton7, &PushButton8, &PushButton9},
               WindowPointer::kCustom);
  m_hover.show({&ListView1, ListView1.viewport(), ListView1.header(), &Frame1, &Frame2, &Frame3,
                &Frame4, &Frame5, &Frame6, &Check1, &Check2, &Text3, &Text4, &Text5},
               WindowPointer::kDefault);
  m_hover.quiet({&Text1, &ProgressBar1});
}

void Form1::paintBackgrounds(const QColor& colour) {
  const QList<QWidget*> surfaces{this,    &Frame1, &Frame2, &Frame3, &Frame4,
                                 &Frame5, &Frame6, &Check1, &Check2};
  for (QWidget* surface : surfaces) {
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

void Form1::showOptions() {
  // Options the layout overrides say so while it holds.
  const bool withTemplate = m_options.layout() == rowvane::OutputLayout::Template;
  const QString byTemplate =
      withTemplate ? QStringLiteral("No effect with a template: the template names every element.")
                   : QString();
  Text4.setToolTip(byTemplate);
  Text5.setToolTip(byTemplate);
  const bool withAttributes = m_options.layout() == rowvane::OutputLayout::FieldsAsAttributes;
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

OptionValues Form1::optionValues() const {
  return {Text3.text().toStdString(), Text5.text().toStdString(), Text4.text().toStdString(),
          Check1.isChecked(), Check2.isChecked()};
}

PreviewRequest Form1::previewRequest() const {
  const ListItems& items = ListView1.listItems();
  const int position = ListView1.SelectedItemIndex().value_or(1);
  return {position <= items.Count() ? items.Text(position) : QString(),
          WindowSettings(optionValues(), m_options.format()), LayoutFilesOf(m_options)};
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
    const RunControls controls{ListView1, Text1,        Text3,     Text4,           Text5, Check1,
                               Check2,    ProgressBar1, m_options, m_stopRequested, m_log, showLog};
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

}  // namespace rowvane::app
