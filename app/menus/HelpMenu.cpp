#include "app/menus/HelpMenu.h"

#include "app/desktop/DialogLook.h"
#include "app/desktop/FittedMessageBox.h"
#include "app/desktop/ProductInfo.h"
#include "app/menus/MenuLook.h"

namespace rowvane::app {

HelpMenu::HelpMenu(QWidget* parent) : QMenu(QStringLiteral("&Help"), parent) {
  GiveMenuLook(*this, QStringLiteral("About the program."));
  About.setText(QStringLiteral("&About %1").arg(QString::fromUtf8(kProductName)));
  DescribeAction(About, QStringLiteral("Shows the version, the licence and the home page."));
  About.setMenuRole(QAction::AboutRole);
  connect(&About, &QAction::triggered, this, &HelpMenu::showAbout);
  addAction(&About);
}

QString HelpMenu::aboutText() {
  const QString home = QString::fromUtf8(kHomePageAddress);
  return QStringLiteral(
             "<p><b>%1</b> %2</p>"
             "<p>Converts batches of CSV files into XML files.</p>"
             "<p>Copyright &copy; %3. Distributed under the %4.</p>"
             "<p><a href=\"%5\">%5</a></p>")
      .arg(QString::fromUtf8(kProductName), QString::fromUtf8(kProductVersion),
           QString::fromUtf8(kMakerName), QString::fromUtf8(kLicenceName), home.toHtmlEscaped());
}

void HelpMenu::showAbout() {
  QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
  // As QMessageBox::about, in the window's look.
  FittedMessageBox box(owner);
  box.setWindowTitle(WithoutAccessKeyMark(About.text()));
  box.setText(aboutText());
  box.setIconPixmap(box.windowIcon().pixmap(64, 64));
  GiveDialogLook(box, QStringLiteral("The version, the licence and the home page."));
  box.exec();
}

}  // namespace rowvane::app
