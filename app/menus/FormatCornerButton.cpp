#include "app/menus/FormatCornerButton.h"

#include <QFontMetrics>
#include <QMenu>

#include "app/desktop/DialogLook.h"

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

void FormatCornerButton::showFormat(const QString& words, const QString& details) {
  m_words = words;
  QString tip = QStringLiteral("In force: %1.").arg(words);
  if (!details.isEmpty()) {
    tip += QLatin1Char(' ') + details;
  }
  setToolTip(tip + QStringLiteral(" Press to change it."));
  showWords();
}

void FormatCornerButton::setMaximumTextWidth(int width) {
  m_maximumTextWidth = width;
  showWords();
}

int FormatCornerButton::textWidth() const {
  return fontMetrics().horizontalAdvance(
      QString(text()).replace(QStringLiteral("&&"), QStringLiteral("&")));
}

void FormatCornerButton::showWords() {
  const QString shown = fontMetrics().elidedText(m_words, Qt::ElideMiddle, m_maximumTextWidth);
  // A name with "&" must not turn into an access key.
  setText(QString(shown).replace(QLatin1Char('&'), QStringLiteral("&&")));
}

void FormatCornerButton::openMenu() {
  m_menu.popup(mapToGlobal(rect().bottomLeft()));
}

}  // namespace rowvane::app
