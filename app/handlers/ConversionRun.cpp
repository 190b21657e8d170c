#include "app/handlers/ConversionRun.h"

#include <QCheckBox>
#include <QLineEdit>
#include <string>
#include <vector>

#include "app/desktop/EventPump.h"
#include "app/desktop/MessageBoxes.h"
#include "app/handlers/ApplicationErrorReport.h"
#include "app/handlers/ErrorTrap.h"
#include "app/handlers/HandlerLocation.h"
#include "app/window/FileListView.h"
#include "app/window/TextProgressBar.h"
#include "app/window/WindowPointer.h"
#include "engine/BatchStart.h"
#include "engine/ConversionObserver.h"
#include "engine/OutputNaming.h"

namespace rowvane::app {

namespace {

// Follows the engine through one file: moves the bar, lets the window work
// and hands the current row-tag option back to the engine.
class RunObserver final : public rowvane::ConversionObserver {
 public:
  RunObserver(TextProgressBar& bar, const QCheckBox& includeRowTags, EventPump& pump)
      : m_bar(bar), m_includeRowTags(includeRowTags), m_pump(pump) {}

  void onProgress(double share) override { m_bar.setPercent(share * 100.0); }

  void onPause(bool& includeRowTags) override {
    if (!m_pump.letPendingEventsRun()) {
      throw LeaveHandler{};
    }
    includeRowTags = m_includeRowTags.isChecked();
  }

 private:
  TextProgressBar& m_bar;
  const QCheckBox& m_includeRowTags;
  EventPump& m_pump;
};

// The line of this handler a file's failure is reported at: reading covers
// everything up to the output, so running out of memory is reported there too.
int LabelOf(rowvane::FailureKind kind) {
  switch (kind) {
    case rowvane::FailureKind::Name:
      return 254;
    case rowvane::FailureKind::Write:
      return 256;
    case rowvane::FailureKind::Read:
    case rowvane::FailureKind::OutOfMemory:
      break;
  }
  return 170;
}

std::string Utf8(const QString& text) {
  return text.toStdString();
}

}  // namespace

void ConversionRun::run() {
  ErrorTrap trap(m_window.report, QString::fromUtf8(kPushButton7Location));
  ListItems& items = m_controls.ListView1.listItems();

  RunTexts texts;
  trap.step(112, [&] { texts.separator = Utf8(m_controls.Text3.text()); });
  trap.step(114, [&] { texts.documentTag = Utf8(m_controls.Text5.text()); });
  trap.step(116, [&] { texts.rowTag = Utf8(m_controls.Text4.text()); });
  if (trap.test(118, [&] { return items.Count() == 0; })) {
    trap.step(274, [&] { tell(QStringLiteral("No files added.")); });
    return;
  }
  // Outputs half-written by a run that was killed are cleared away with the
  // check; every name the file system rejects gets the same message.
  if (trap.test(120, [&] {
        std::vector<std::string> listed;
        for (int position = 1; position <= items.Count(); ++position) {
          listed.push_back(Utf8(items.Text(position)));
        }
        return !rowvane::StartBatch(Utf8(m_controls.Text1.text()), listed).ready();
      })) {
    trap.step(
        272, [&] { tell(QStringLiteral("Folder does not exist. Please select another folder.")); });
    return;
  }

  // Entries added from here on wait for the next run.
  int count = 0;
  trap.step(126, [&] { count = items.Count(); });
  for (int position = 1; position <= count; ++position) {
    if (!convertPosition(trap, texts, position)) {
      break;
    }
  }
  if (!trap.active()) {
    return;  // the window was closed: the program is ending
  }

  trap.step(264, [&] { m_controls.ProgressBar1.setPercent(0.0); });
  trap.step(266, [&] { m_window.pointer.set(WindowPointer::kDefault); });
  trap.step(268, [&] { m_controls.ProgressBar1.setText(QStringLiteral("Progress Bar")); });
  trap.step(270, [&] { tell(QStringLiteral("Done.")); });
}

// False when the file loop must end: the entry has gone from the list, or the
// window was closed.
bool ConversionRun::convertPosition(ErrorTrap& trap, const RunTexts& texts, int position) {
  trap.step(128, [&] { letPendingEventsRun(); });
  trap.step(130, [&] { m_window.pointer.set(WindowPointer::kHourglass); });
  trap.step(152, [&] { showShareOfFilesBegun(position); });

  // An entry removed meanwhile (e.g. by "Clear List") is reported once; the
  // positions behind it are gone as well.
  QString path;
  if (!trap.step(154, [&] { path = m_controls.ListView1.listItems().Text(position); })) {
    return false;
  }
  trap.step(156, [&] {
    const std::string name = rowvane::FileNameOf(Utf8(path));
    m_controls.ProgressBar1.setText(QStringLiteral("Processing: ") + QString::fromStdString(name));
  });
  trap.step(158, [&] { letPendingEventsRun(); });

  rowvane::FileOutcome outcome;
  trap.step(170, [&] { outcome = convertFile(path, texts); });
  if (m_window.pump.closed()) {
    trap.leave();
  }
  for (const rowvane::Failure& failure : outcome.failures) {
    trap.failedAt(LabelOf(failure.kind), QString::fromStdString(failure.message));
  }
  return trap.active();
}

rowvane::FileOutcome ConversionRun::convertFile(const QString& path, const RunTexts& texts) {
  rowvane::ConversionSettings settings;
  settings.Separator = texts.separator;
  settings.DocumentTag = texts.documentTag;
  settings.RowTag = texts.rowTag;
  // The remaining options are taken as the file begins; the row-tag option is
  // taken again at every pause of the engine.
  settings.HasHeaderRow = m_controls.Check1.isChecked();
  settings.IncludeRowTags = m_controls.Check2.isChecked();
  settings.OutputFolder = Utf8(m_controls.Text1.text());
  RunObserver observer(m_controls.ProgressBar1, m_controls.Check2, m_window.pump);
  return rowvane::ConvertFile(Utf8(path), settings, observer, m_tuning);
}

void ConversionRun::letPendingEventsRun() {
  if (!m_window.pump.letPendingEventsRun()) {
    throw LeaveHandler{};
  }
}

void ConversionRun::showShareOfFilesBegun(int position) {
  const int count = m_controls.ListView1.listItems().Count();
  if (position > count) {
    return;  // the entry is gone; reading it reports that
  }
  m_controls.ProgressBar1.setPercent(100.0 * position / count);
}

void ConversionRun::tell(const QString& message) {
  m_window.messageBoxes.showMessage(m_window.owner, m_window.applicationTitle, message,
                                    MessageIcon::None);
}

}  // namespace rowvane::app
