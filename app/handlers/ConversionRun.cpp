#include "app/handlers/ConversionRun.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <string>
#include <vector>

#include "app/controls/FileListView.h"
#include "app/controls/TextProgressBar.h"
#include "app/controls/WindowPointer.h"
#include "app/desktop/EventPump.h"
#include "app/desktop/LocalPath.h"
#include "app/desktop/WindowServices.h"
#include "app/handlers/ConversionLog.h"
#include "app/handlers/ErrorTrap.h"
#include "app/handlers/WindowSettings.h"
#include "app/options/WindowOptions.h"
#include "engine/Batch.h"
#include "engine/Conversion.h"
#include "engine/Files.h"
#include "engine/Settings.h"

namespace rowvane::app {

namespace {

constexpr char kLocation[] = "in Rowvane2017/04/05.Form1.PushButton7_Click ";

// Labels of the statements that can fail, as the error report quotes them.
struct RunLine {
  static constexpr int CheckOutputFolder = 120;
  static constexpr int LetEventsRunBeforeFile = 128;
  static constexpr int ReadEntry = 154;
  static constexpr int LetEventsRunAfterName = 158;
  static constexpr int ConvertFile = 170;  ///< also where reading and memory failures show
  static constexpr int NameOutput = 254;
  static constexpr int WriteOutput = 256;
  static constexpr int TellDone = 270;
  static constexpr int TellFolderMissing = 272;
  static constexpr int TellListEmpty = 274;
  static constexpr int LoadLayout = 276;
  static constexpr int TellLayoutProblem = 278;
};

// The line a file's failure is reported at: reading covers everything up to
// the output, so running out of memory is reported there too.
int LineOf(rowvane::FailureKind kind) {
  switch (kind) {
    case rowvane::FailureKind::Name:
      return RunLine::NameOutput;
    case rowvane::FailureKind::Write:
    case rowvane::FailureKind::Schema:
      return RunLine::WriteOutput;
    case rowvane::FailureKind::Read:
    case rowvane::FailureKind::OutOfMemory:
    case rowvane::FailureKind::Layout:
    case rowvane::FailureKind::Value:
      break;
  }
  return RunLine::ConvertFile;
}

// Follows the engine through one file: moves the bar and lets the window
// work at the engine's pauses; closing the window or stopping the run
// abandons the file.
class RunObserver final : public rowvane::ConversionObserver, public rowvane::LiveOptions {
 public:
  RunObserver(TextProgressBar& bar, const QCheckBox& includeRowTags, bool rowTagsForced,
              const bool& stopRequested, const HandlerContext& context)
      : m_bar(bar),
        m_includeRowTags(includeRowTags),
        m_rowTagsForced(rowTagsForced),
        m_stopRequested(stopRequested),
        m_context(context) {}

  void onProgress(double share) override { m_bar.setPercent(share * 100.0); }
  void onPause() override { m_context.letEventsRun(); }
  // The engine removes what it wrote for a file it is told to abandon.
  rowvane::PauseAnswer pauseAnswer() const override {
    if (m_context.pump.closed()) {
      return rowvane::PauseAnswer::Leave;
    }
    return m_stopRequested ? rowvane::PauseAnswer::Stop : rowvane::PauseAnswer::Continue;
  }
  const LiveOptions* liveOptions() const override { return this; }

  // The user may switch row tags while a file converts; the change applies
  // from the next record on.
  // With attributes every record is a row element, whatever the box says.
  bool includeRowTags() const override { return m_rowTagsForced || m_includeRowTags.isChecked(); }

 private:
  TextProgressBar& m_bar;
  const QCheckBox& m_includeRowTags;
  bool m_rowTagsForced;
  const bool& m_stopRequested;
  const HandlerContext& m_context;
};

std::string Utf8(const QString& text) {
  return text.toStdString();
}

}  // namespace

ConversionRun::ConversionRun(const RunControls& controls, const HandlerContext& context)
    : m_controls(controls),
      m_context(context),
      m_format(controls.options.format()),
      m_layoutFiles(LayoutFilesOf(controls.options)),
      m_reportsEachFailure(!controls.options.failuresCounted()) {}

void ConversionRun::run() {
  ErrorTrap trap(m_context.report, QString::fromUtf8(kLocation));
  ListItems& items = m_controls.ListView1.listItems();
  // Texts are taken once, as the run starts; the check boxes as each file
  // starts.
  const RunTexts texts{Utf8(m_controls.Text3.text()), Utf8(m_controls.Text5.text()),
                       Utf8(m_controls.Text4.text())};
  if (items.Count() == 0) {
    trap.step(RunLine::TellListEmpty, [&] { tell(QStringLiteral("No files added.")); });
    return;
  }
  // Outputs half-written by a run that was killed are cleared away with the
  // check; every name the file system rejects gets the same message.
  if (trap.test(RunLine::CheckOutputFolder, [&] {
        std::vector<std::string> listed;
        for (int position = 1; position <= items.Count(); ++position) {
          listed.push_back(PathBytes(items.Text(position)));
        }
        return !rowvane::StartBatch(PathBytes(m_controls.Text1.text()), listed).ready();
      })) {
    trap.step(RunLine::TellFolderMissing, [&] {
      tell(QStringLiteral("Folder does not exist. Please select another folder."));
    });
    return;
  }
  QString layoutProblem;
  if (!trap.step(RunLine::LoadLayout,
                 [&] { layoutProblem = ApplyLayout(m_layoutFiles, m_layout); })) {
    return;
  }
  if (!layoutProblem.isEmpty()) {
    trap.step(RunLine::TellLayoutProblem, [&] {
      tell(QStringLiteral("Nothing was converted: this file of the Format menu cannot be used:\n") +
           layoutProblem);
    });
    return;
  }

  // Entries added from here on wait for the next run.
  const int count = items.Count();
  m_controls.log.beginRun();
  for (int position = 1; position <= count; ++position) {
    if (!convertPosition(trap, texts, position)) {
      break;
    }
  }
  m_controls.log.endRun();
  if (!trap.active()) {
    return;  // the window was closed: the program is ending
  }

  m_controls.ProgressBar1.setPercent(0.0);
  m_context.pointer.set(WindowPointer::kDefault);
  m_controls.ProgressBar1.setText(QStringLiteral("Progress Bar"));
  trap.step(RunLine::TellDone, [&] { tellEnd(); });
}

// False when the file loop must end: the entry has gone from the list, the
// run was stopped, or the window was closed.
bool ConversionRun::convertPosition(ErrorTrap& trap, const RunTexts& texts, int position) {
  trap.step(RunLine::LetEventsRunBeforeFile, [&] { leaveWhenClosed(trap); });
  if (!trap.active() || stopsHere()) {
    return false;
  }
  m_context.pointer.set(WindowPointer::kHourglass);
  showShareOfFilesBegun(position);

  // An entry removed meanwhile (e.g. by "Clear List") is reported once; the
  // positions behind it are gone as well.
  QString path;
  if (!trap.step(RunLine::ReadEntry,
                 [&] { path = m_controls.ListView1.listItems().Text(position); })) {
    return false;
  }
  m_controls.ProgressBar1.setText(QStringLiteral("Processing: ") +
                                  QString::fromStdString(rowvane::FileNameOf(PathBytes(path))));
  trap.step(RunLine::LetEventsRunAfterName, [&] { leaveWhenClosed(trap); });
  if (!trap.active() || stopsHere()) {
    return false;
  }

  rowvane::FileOutcome outcome;
  QElapsedTimer clock;
  clock.start();
  trap.step(RunLine::ConvertFile, [&] { outcome = convertFile(path, texts); });
  const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  // The engine has removed what it wrote for a file it was told to abandon.
  const bool abandoned = outcome.status == rowvane::FileOutcome::Status::Stopped;
  LoggedFile logged =
      abandoned ? LoggedFile::Stopped(path, seconds) : LoggedFile::Of(path, outcome, seconds);
  ++m_filesLogged;
  m_notConverted += logged.failed ? 1 : 0;
  m_controls.log.add(std::move(logged));
  if (m_context.pump.closed()) {
    trap.leave();
  } else if (abandoned) {
    m_stopped = true;
  }
  if (m_stopped) {
    return false;
  }
  for (const rowvane::Failure& failure : outcome.failures) {
    if (m_reportsEachFailure) {
      trap.failedAt(LineOf(failure.kind), QString::fromStdString(failure.message));
    }
  }
  return trap.active();
}

rowvane::FileOutcome ConversionRun::convertFile(const QString& path, const RunTexts& texts) {
  const rowvane::ConversionSettings settings =
      WindowSettings({texts.separator, texts.documentTag, texts.rowTag,
                      m_controls.Check1.isChecked(), m_controls.Check2.isChecked()},
                     m_format, m_layout);
  const bool rowTagsForced = m_layout.Layout == rowvane::OutputLayout::FieldsAsAttributes;
  RunObserver observer(m_controls.ProgressBar1, m_controls.Check2, rowTagsForced,
                       m_controls.stopRequested, m_context);
  return rowvane::ConvertFile(PathBytes(path), PathBytes(m_controls.Text1.text()), settings,
                              observer, m_context.services.tuning);
}

void ConversionRun::showShareOfFilesBegun(int position) {
  const int count = m_controls.ListView1.listItems().Count();
  if (position > count) {
    return;  // the entry is gone; reading it reports that
  }
  m_controls.ProgressBar1.setPercent(100.0 * position / count);
}

// Lets the window's events run; closing the window leaves the handler.
void ConversionRun::leaveWhenClosed(ErrorTrap& trap) {
  if (!m_context.letEventsRun()) {
    trap.leave();
  }
}

// True once "Stop Converting" has been chosen: the run then ends here.
bool ConversionRun::stopsHere() {
  m_stopped = m_stopped || m_controls.stopRequested;
  return m_stopped;
}

void ConversionRun::tell(const QString& message) {
  m_context.showMessage(message);
}

void ConversionRun::tellEnd() {
  const QString ended = m_stopped ? QStringLiteral("Stopped.") : QStringLiteral("Done.");
  if (m_reportsEachFailure || m_notConverted == 0) {
    tell(ended);
    return;
  }
  const QString summary =
      QStringLiteral("%1 %2 of %3 files were not converted. The conversion log says why.")
          .arg(ended)
          .arg(m_notConverted)
          .arg(m_filesLogged);
  if (m_context.offerAction(summary, QStringLiteral("Open Conversion Log"))) {
    m_controls.showLog();
  }
}

}  // namespace rowvane::app
