#include "app/menus/FormatCornerButton.h"

#include <QMenu>

#include "app/desktop/DialogLook.h"
#include "app/menus/FormatInWords.h"

namespace rowvane::app {

FormatCornerButton::FormatCornerButton(QMenu& menu, QWidget* parent)
    : QToolButton(parent), m_menu(menu) {
  setObjectName(QStringLiteral("FormatCornerButton"));
  setAutoRaise(true);
  setFocusPolicy(Qt::NoFocus);
  UseWindowFontFamily(*this);
  setAccessibleName(QStringLiteral("Format in force"));
  setAccessibleDescription(
      QStringLiteral("What the next run reads and writes; opens the Format menu."));
  connect(this, &QToolButton::clicked, this, &FormatCornerButton::openMenu);
}

void FormatCornerButton::showFormat(const rowvane::CsvFormat& format, rowvane::OutputLayout layout,
                                    const QString& templatePath, const QString& schemaPath) {
  const QString words = FormatInWords(format, layout, templatePath, schemaPath);
  // A name with "&" must not turn into an access key.
  setText(QString(words).replace(QLatin1Char('&'), QStringLiteral("&&")));
  setToolTip(QStringLiteral("In force: %1. Press to change it.").arg(words));
}

void FormatCornerButton::openMenu() {
  m_menu.popup(mapToGlobal(rect().bottomLeft()));
}

}  // namespace rowvane::app
