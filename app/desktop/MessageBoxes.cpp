#include "app/desktop/MessageBoxes.h"

#include <QMessageBox>

#include "app/desktop/DialogLook.h"

namespace rowvane::app {

namespace {

QMessageBox::Icon QtIconOf(MessageIcon icon) {
  return icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon;
}

// Texts are shown as typed: a file name holding "<b>" must not turn into markup.
int ExecPlainTextBox(QMessageBox& box, const QString& text) {
  box.setTextFormat(Qt::PlainText);
  box.setText(WithDisplayLineBreaks(text));
  GiveDialogLook(box, box.text());
  MakeRoomForTitle(box);
  box.setWindowModality(Qt::ApplicationModal);
  return box.exec();
}

}  // namespace

QString WithDisplayLineBreaks(const QString& text) {
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

void QtMessageBoxes::showMessage(QWidget* owner, const QString& title, const QString& text,
                                 MessageIcon icon) {
  QMessageBox box(QtIconOf(icon), title, QString(), QMessageBox::Ok, owner);
  ExecPlainTextBox(box, text);
}

bool QtMessageBoxes::askYesNo(QWidget* owner, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, title, QString(), QMessageBox::Yes | QMessageBox::No, owner);
  return ExecPlainTextBox(box, text) == QMessageBox::Yes;
}

}  // namespace rowvane::app
