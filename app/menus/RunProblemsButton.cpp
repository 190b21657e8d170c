#include "app/menus/RunProblemsButton.h"

#include <QStringList>

#include "app/desktop/DialogLook.h"

namespace rowvane::app {

namespace {

QString Counted(int count, const char* one, const char* many) {
  return QStringLiteral("%1 %2").arg(count).arg(QString::fromLatin1(count == 1 ? one : many));
}

}  // namespace

RunProblemsButton::RunProblemsButton(QWidget* parent) : QToolButton(parent) {
  setObjectName(QStringLiteral("RunProblemsButton"));
  setAutoRaise(true);
  setFocusPolicy(Qt::NoFocus);
  UseWindowFontFamily(*this);
  setAccessibleName(QStringLiteral("Problems of the last run"));
  setAccessibleDescription(QStringLiteral(
      "How many files of the last run failed and how many warnings they gave; opens the "
      "conversion log."));
  setToolTip(QStringLiteral("Press to see them in the conversion log."));
  connect(this, &QToolButton::clicked, this, &RunProblemsButton::conversionLogRequested);
  hide();
}

void RunProblemsButton::showProblems(int failures, int warnings) {
  QStringList counts;
  if (failures > 0) {
    counts << Counted(failures, "failure", "failures");
  }
  if (warnings > 0) {
    counts << Counted(warnings, "warning", "warnings");
  }
  setText(counts.join(QStringLiteral(", ")));
  setVisible(!counts.isEmpty());
}

}  // namespace rowvane::app
