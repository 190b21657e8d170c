#include "app/menus/MenuLook.h"

#include <QAction>
#include <QMenu>

#include "app/desktop/DialogLook.h"

namespace rowvane::app {

void GiveMenuLook(QMenu& menu, const QString& description) {
  UseWindowFontFamily(menu);
  menu.setAccessibleName(WithoutAccessKeyMark(menu.title()));
  menu.setAccessibleDescription(description);
}

void DescribeAction(QAction& action, const QString& description) {
  action.setStatusTip(description);
  action.setWhatsThis(description);
}

QString WithoutAccessKeyMark(const QString& text) {
  QString plain;
  plain.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('&') && i + 1 < text.size()) {
      ++i;  // the marked letter, or the second "&" of "&&"
    }
    plain += text[i];
  }
  return plain;
}

}  // namespace rowvane::app
