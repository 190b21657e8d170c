#include "app/menus/MenuBarCorner.h"

#include <QApplication>
#include <QEvent>
#include <QMenuBar>
#include <QResizeEvent>
#include <algorithm>

namespace rowvane::app {

namespace {

// Between the last menu and the corner, so that the two never touch.
constexpr int kGapToMenus = 12;

}  // namespace

MenuBarCorner::MenuBarCorner(QMenu& formatMenu, QWidget* parent)
    : QWidget(parent), m_format(formatMenu, this) {
  setObjectName(QStringLiteral("MenuBarCorner"));
  m_layout.setContentsMargins(0, 0, 0, 0);
  m_layout.setSpacing(4);
  m_layout.addWidget(&m_problems);
  m_layout.addWidget(&m_format);
}

void MenuBarCorner::placeIn(QMenuBar& bar) {
  m_bar = &bar;
  // Shrunk by what they would add to the bar's height, so that the window
  // keeps its height.
  const int barHeight = bar.sizeHint().height();
  bar.setCornerWidget(this, Qt::TopRightCorner);
  const int excess = bar.sizeHint().height() - barHeight;
  for (QToolButton* button :
       {static_cast<QToolButton*>(&m_problems), static_cast<QToolButton*>(&m_format)}) {
    button->setMaximumHeight(std::max(0, button->sizeHint().height() - excess));
  }
  fit();
}

void MenuBarCorner::showProblems(int failures, int warnings) {
  m_problems.showProblems(failures, warnings);
  fit();
}

void MenuBarCorner::showFormat(const QString& words, const QString& details) {
  m_format.showFormat(words, details);
  fit();
}

bool MenuBarCorner::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  // The window's width is known once it is shown; a font may change it.
  if (event->type() == QEvent::Show || event->type() == QEvent::FontChange) {
    fit();
  }
  return handled;
}

void MenuBarCorner::fit() {
  // Before the window shows, the bar has no width of its own yet.
  if (m_fitting || m_bar == nullptr || !m_bar->isVisible()) {
    m_format.setMaximumTextWidth(QWIDGETSIZE_MAX);
    return;
  }
  m_fitting = true;
  // The menus' own width: what the bar asks for less what the corner asks.
  m_format.setMaximumTextWidth(QWIDGETSIZE_MAX);
  const int menus = m_bar->sizeHint().width() - sizeHint().width();
  const int problems =
      m_problems.isVisibleTo(this) ? m_problems.sizeHint().width() + m_layout.spacing() : 0;
  const int besideText = m_format.sizeHint().width() - m_format.textWidth();
  const int room = m_bar->width() - menus - kGapToMenus - problems - besideText;
  const int share = static_cast<int>(m_bar->width() * kFormatShare) - besideText;
  m_format.setMaximumTextWidth(std::max(0, std::min(room, share)));
  m_layout.activate();
  // The bar places its corner only when it is resized or the corner is shown
  // or hidden; a new text is neither.
  QResizeEvent again(m_bar->size(), m_bar->size());
  QApplication::sendEvent(m_bar, &again);
  m_fitting = false;
}

}  // namespace rowvane::app
