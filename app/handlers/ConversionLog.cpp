#include "app/handlers/ConversionLog.h"

#include <QLocale>

#include "app/desktop/LocalPath.h"
#include "app/handlers/OutcomeInWords.h"

namespace rowvane::app {

namespace {

// A path's last part and what stands before it, as the user would type them.
QString NameOf(const QString& path) {
  return PathForDisplay(path.section(QLatin1Char('/'), -1));
}

QString FolderOf(const QString& path) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  return PathForDisplay(slash <= 0 ? QStringLiteral("/") : path.left(slash));
}

}  // namespace

LoggedFile LoggedFile::Of(const QString& input, const rowvane::FileOutcome& outcome,
                          double seconds) {
  LoggedFile file;
  file.input = input;
  // A folder typed with a closing separator gives "folder//name": shown once.
  file.output = PathFromBytes(outcome.outputPath);
  while (file.output.contains(QStringLiteral("//"))) {
    file.output.replace(QStringLiteral("//"), QStringLiteral("/"));
  }
  file.result = ResultInWords(outcome);
  file.reason = ReasonInWords(outcome);
  file.converted = outcome.status == rowvane::FileOutcome::Status::Converted;
  file.failed = !file.converted;
  if (file.converted) {
    file.records = outcome.records;
    file.outputBytes = outcome.outputBytes;
  }
  file.seconds = seconds;
  file.warnings = WarningsInWords(outcome);
  return file;
}

LoggedFile LoggedFile::Stopped(const QString& input, double seconds) {
  LoggedFile file;
  file.input = input;
  file.result = QStringLiteral("stopped");
  file.reason = QStringLiteral("the run was stopped; nothing was written");
  file.seconds = seconds;
  return file;
}

void ConversionLog::beginRun() {
  m_next = 0;
  m_failures = 0;
  m_warnings = 0;
  emit runBegun();
}

void ConversionLog::add(LoggedFile file) {
  const int row = static_cast<int>(m_next);
  m_failures += file.failed ? 1 : 0;
  m_warnings += static_cast<int>(file.warnings.size());
  beginInsertRows({}, row, row);
  m_files.insert(m_files.begin() + static_cast<std::ptrdiff_t>(m_next), std::move(file));
  ++m_next;
  endInsertRows();
}

void ConversionLog::endRun() {
  emit runLogged(m_failures, m_warnings);
}

int ConversionLog::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_files.size());
}

int ConversionLog::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant ConversionLog::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) {
    return {};
  }
  const LoggedFile& logged = file(index.row());
  switch (role) {
    case Qt::DisplayRole:
      return textOf(logged, index.column());
    case Qt::ToolTipRole:
      return toolTipOf(logged, index.column());
    case Qt::TextAlignmentRole:
      if (index.column() == Records || index.column() == Size || index.column() == Time) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
      }
      break;
    default:
      break;
  }
  return {};
}

QString ConversionLog::textOf(const LoggedFile& logged, int column) const {
  const QLocale locale;
  switch (column) {
    case Input:
      return NameOf(logged.input);
    case Output:
      return NameOf(logged.output);
    case Result:
      return logged.result;
    case Records:
      return logged.records ? locale.toString(static_cast<qulonglong>(*logged.records)) : QString();
    case Size:
      return logged.outputBytes ? locale.formattedDataSize(static_cast<qint64>(*logged.outputBytes))
                                : QString();
    case Time:
      return QStringLiteral("%1 s").arg(locale.toString(logged.seconds, 'f', 2));
    case Warnings:
      return logged.warnings.join(QLatin1Char(' '));
    default:
      return {};
  }
}

QString ConversionLog::toolTipOf(const LoggedFile& logged, int column) const {
  switch (column) {
    case Input:
    case Output: {
      const QString& path = column == Input ? logged.input : logged.output;
      return path.isEmpty() ? QString() : QStringLiteral("In ") + FolderOf(path);
    }
    case Result:
      return logged.reason;
    case Warnings:
      return logged.warnings.join(QLatin1Char('\n'));
    default:
      return textOf(logged, column);
  }
}

QString ConversionLog::details(int row) const {
  const LoggedFile& logged = file(row);
  QStringList lines{QStringLiteral("%1: %2").arg(PathForDisplay(logged.input), logged.result)};
  if (!logged.reason.isEmpty()) {
    lines.back() += QStringLiteral(": ") + logged.reason;
  }
  lines.back() += QLatin1Char('.');
  if (!logged.output.isEmpty()) {
    lines << (logged.converted ? QStringLiteral("Written to %1.")
                               : QStringLiteral("Not written: %1."))
                 .arg(PathForDisplay(logged.output));
  }
  return (lines + logged.warnings).join(QLatin1Char('\n'));
}

QVariant ConversionLog::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  static constexpr const char* kTitles[ColumnCount] = {"Input", "Output", "Result",  "Records",
                                                       "Size",  "Time",   "Warnings"};
  return section >= 0 && section < ColumnCount ? QString::fromLatin1(kTitles[section]) : QVariant();
}

}  // namespace rowvane::app
