#include "app/desktop/FittedMessageBox.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QRegularExpression>
#include <QScreen>
#include <algorithm>

namespace rowvane::app {

namespace {

// Room for the title bar's buttons and margins around the title.
constexpr int kTitleBarExtra = 150;

QRect AvailableScreen(const QWidget& widget) {
  const QScreen* screen = widget.screen();
  if (screen == nullptr) {
    screen = QGuiApplication::primaryScreen();
  }
  return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

// The widest word of a plain text: a line can be broken between words only.
int WidestWord(const QLabel& label) {
  if (label.textFormat() != Qt::PlainText) {
    return 0;
  }
  const QFontMetrics metrics(label.font());
  int widest = 0;
  static const QRegularExpression kSpaces(QStringLiteral("\\s+"));
  for (const QString& word : label.text().split(kSpaces, Qt::SkipEmptyParts)) {
    widest = std::max(widest, metrics.horizontalAdvance(word));
  }
  return widest;
}

// Gives the label the width its text needs, within the wrapping width, and
// the box the size its layout then asks for.
void FitToText(QMessageBox& box) {
  QLabel* const label = MessageLabelOf(box);
  if (label == nullptr || box.layout() == nullptr) {
    return;
  }
  const QRect screen = AvailableScreen(box);
  // What the box needs besides the label: its margins, the icon, the spacing.
  box.layout()->activate();
  const int besideLabel = std::max(0, box.width() - label->width());
  label->setMinimumWidth(0);
  label->setMaximumWidth(QWIDGETSIZE_MAX);
  label->setWordWrap(false);
  const int natural = label->sizeHint().width();
  const int wrapAt = static_cast<int>(screen.width() * FittedMessageBox::kWrapShare) - besideLabel;
  int width = std::min(natural, wrapAt);
  width = std::max(width, WidestWord(*label));
  width = std::max(width, TitleBarWidth(box) - besideLabel);
  width = std::min(width, screen.width() - besideLabel);
  label->setWordWrap(natural > width);
  label->setFixedWidth(width);
  box.layout()->activate();
  const int boxWidth = std::max(box.layout()->totalMinimumSize().width(), TitleBarWidth(box));
  const int boxHeight = box.layout()->hasHeightForWidth()
                            ? box.layout()->totalHeightForWidth(boxWidth)
                            : box.layout()->totalMinimumSize().height();
  box.setFixedSize(boxWidth, boxHeight);
}

}  // namespace

void FittedMessageBox::showEvent(QShowEvent* event) {
  // Qt sizes the box first, by its own rules; the fit comes after them.
  QMessageBox::showEvent(event);
  FitToText(*this);
}

QLabel* MessageLabelOf(const QMessageBox& box) {
  // The label's name is Qt's own, the one handle it offers on the label.
  return box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
}

int TitleBarWidth(const QWidget& window) {
  return QFontMetrics(window.font()).horizontalAdvance(window.windowTitle()) + kTitleBarExtra;
}

}  // namespace rowvane::app
