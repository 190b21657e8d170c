#include "app/handlers/OutcomeInWords.h"

#include <QRegularExpression>

#include "app/desktop/LocalPath.h"
#include "engine/Files.h"

namespace rowvane::app {

namespace {

// "1 value", "2 values".
QString Counted(std::uint64_t count, const char* one, const char* many) {
  return QStringLiteral("%1 %2").arg(count).arg(QString::fromUtf8(count == 1 ? one : many));
}

QString WithDetail(const char* reason, const std::string& detail) {
  QString words = QString::fromUtf8(reason);
  if (!detail.empty()) {
    words += QStringLiteral(": ") + QString::fromStdString(detail);
  }
  return words;
}

QString FailureInWords(const rowvane::Failure& failure) {
  switch (failure.kind) {
    case rowvane::FailureKind::Read:
      return WithDetail("cannot read the input", failure.message);
    case rowvane::FailureKind::Write:
      return WithDetail("cannot write the output", failure.message);
    case rowvane::FailureKind::Schema:
      return QStringLiteral("the output does not match the schema: ") +
             SchemaVerdictInWords(QString::fromStdString(failure.message));
    case rowvane::FailureKind::Layout:
      return WithDetail("the template does not fit the file", failure.message);
    case rowvane::FailureKind::Value:
      return failure.place.line == 0
                 ? WithDetail("the template cannot use a value", failure.message)
                 : QStringLiteral("line %1: ").arg(failure.place.line) +
                       WithDetail("the template cannot use a value", failure.message);
    case rowvane::FailureKind::OutOfMemory:
      return failure.message.empty() ? QStringLiteral("not enough memory")
                                     : QString::fromStdString(failure.message);
    case rowvane::FailureKind::Name:
      break;  // not a reason to fail: the output is still written
  }
  return {};
}

}  // namespace

QString ResultInWords(const rowvane::FileOutcome& outcome) {
  switch (outcome.status) {
    case rowvane::FileOutcome::Status::Converted:
      return QStringLiteral("converted");
    case rowvane::FileOutcome::Status::Missing:
      return QStringLiteral("skipped");
    case rowvane::FileOutcome::Status::Stopped:
      return QStringLiteral("stopped");
    case rowvane::FileOutcome::Status::Failed:
      break;
  }
  return QStringLiteral("failed");
}

QString ReasonInWords(const rowvane::FileOutcome& outcome) {
  switch (outcome.status) {
    case rowvane::FileOutcome::Status::Converted:
      return {};
    case rowvane::FileOutcome::Status::Missing:
      return QStringLiteral("the file is not there");
    case rowvane::FileOutcome::Status::Stopped:
      return QStringLiteral("the run was stopped; nothing was written");
    case rowvane::FileOutcome::Status::Failed:
      break;
  }
  QStringList reasons;
  for (const rowvane::Failure& failure : outcome.failures) {
    if (const QString reason = FailureInWords(failure); !reason.isEmpty()) {
      reasons << reason;
    }
  }
  return reasons.isEmpty() ? QStringLiteral("not converted") : reasons.join(QStringLiteral("; "));
}

QString SchemaVerdictInWords(const QString& verdict) {
  // "SCHEMA: line N: problem", the line being the output's.
  static const QRegularExpression kLine(QStringLiteral("(^|: )line (\\d+): "));
  QString words = verdict;
  const QRegularExpressionMatch found = kLine.match(words);
  if (found.hasMatch()) {
    words.insert(found.capturedStart(2) - 5, QStringLiteral("output "));
  }
  return words;
}

QStringList WarningsInWords(const rowvane::ConversionWarnings& warnings) {
  QStringList words;
  if (warnings.lineFeedsWithoutCrLf) {
    words << QStringLiteral(
        "This file ends its lines with LF only: in Classic CSV it is one line. Choose Standard "
        "CSV in the Format menu.");
  }
  if (warnings.unterminatedQuoteLine) {
    words << QStringLiteral("The quoted field that begins on line %1 is never closed.")
                 .arg(*warnings.unterminatedQuoteLine);
  }
  // The counted warnings, each said only when its count is not zero.
  struct CountedWarning {
    std::uint64_t rowvane::ConversionWarnings::*count;
    const char* one;
    const char* many;
    const char* rest;
  };
  static constexpr CountedWarning kCounted[] = {
      {&rowvane::ConversionWarnings::replacedCharacters, "character", "characters",
       " that XML does not allow written as U+FFFD."},
      {&rowvane::ConversionWarnings::utf8Replacements, "ill-formed UTF-8 sequence",
       "ill-formed UTF-8 sequences", " written as U+FFFD."},
      {&rowvane::ConversionWarnings::utf16Replacements, "ill-formed UTF-16 unit",
       "ill-formed UTF-16 units", " written as U+FFFD or left out."},
      {&rowvane::ConversionWarnings::droppedValues, "value", "values",
       " past the last named field not written."},
  };
  for (const CountedWarning& counted : kCounted) {
    if (const std::uint64_t count = warnings.*counted.count; count > 0) {
      words << Counted(count, counted.one, counted.many) + QString::fromUtf8(counted.rest);
    }
  }
  return words;
}

QStringList WarningsInWords(const rowvane::FileOutcome& outcome) {
  if (outcome.status != rowvane::FileOutcome::Status::Converted) {
    return {};
  }
  QStringList words;
  for (const rowvane::Failure& failure : outcome.failures) {
    if (failure.kind == rowvane::FailureKind::Name) {
      words << QStringLiteral("The name has no dot: the output is named %1.")
                   .arg(PathForDisplay(PathFromBytes(rowvane::FileNameOf(outcome.outputPath))));
    }
  }
  for (const std::string& note : outcome.notes) {
    words << QStringLiteral("Written, but %1.").arg(QString::fromStdString(note));
  }
  return words + WarningsInWords(outcome.warnings);
}

}  // namespace rowvane::app
