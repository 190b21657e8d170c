#include "app/desktop/MessageBoxes.h"

#include "app/desktop/DialogLook.h"
#include "app/desktop/FittedMessageBox.h"

#include <QPushButton>

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
  FittedMessageBox box(QtIconOf(icon), title, QString(), QMessageBox::Ok, owner);
  ExecPlainTextBox(box, text);
}

bool QtMessageBoxes::askYesNo(QWidget* owner, const QString& title, const QString& text) {
  FittedMessageBox box(QMessageBox::NoIcon, title, QString(), QMessageBox::Yes | QMessageBox::No,
                       owner);
  return ExecPlainTextBox(box, text) == QMessageBox::Yes;
}

bool QtMessageBoxes::offerAction(QWidget* owner, const QString& title, const QString& text,
                                 const QString& action) {
  FittedMessageBox box(QMessageBox::Warning, title, QString(), QMessageBox::Ok, owner);
  const QAbstractButton* const chosen = box.addButton(action, QMessageBox::ActionRole);
  box.setDefaultButton(QMessageBox::Ok);
  ExecPlainTextBox(box, text);
  return box.clickedButton() == chosen;
}

}  // namespace rowvane::app
