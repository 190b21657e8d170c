#include "app/menus/ViewMenu.h"

#include <QKeySequence>

#include "app/menus/MenuLook.h"

namespace rowvane::app {

ViewMenu::ViewMenu(QWidget* parent) : QMenu(QStringLiteral("&View"), parent) {
  GiveMenuLook(*this, QStringLiteral("Opens windows that show what the runs did."));
  ConversionLog.setText(QStringLiteral("Conversion &Log"));
  DescribeAction(ConversionLog,
                 QStringLiteral("Shows every file of this session's runs and what became of it."));
  ConversionLog.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  connect(&ConversionLog, &QAction::triggered, this, &ViewMenu::conversionLogRequested);
  addAction(&ConversionLog);
}

}  // namespace rowvane::app
