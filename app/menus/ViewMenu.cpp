#include "app/menus/ViewMenu.h"

#include <QKeySequence>

#include "app/menus/MenuLook.h"

namespace rowvane::app {

ViewMenu::ViewMenu(QWidget* parent) : QMenu(QStringLiteral("&View"), parent) {
  GiveMenuLook(*this, QStringLiteral("Opens windows that show what a run will write and what the "
                                     "runs wrote."));
  Preview.setText(QStringLiteral("&Preview"));
  DescribeAction(Preview, QStringLiteral("Shows the XML that the selected file, else the first, "
                                         "gives with the options in force."));
  Preview.setShortcut(QKeySequence(Qt::Key_F5));
  connect(&Preview, &QAction::triggered, this, &ViewMenu::previewRequested);
  addAction(&Preview);
  ConversionLog.setText(QStringLiteral("Conversion &Log"));
  DescribeAction(ConversionLog,
                 QStringLiteral("Shows every file of this session's runs and what became of it."));
  ConversionLog.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  connect(&ConversionLog, &QAction::triggered, this, &ViewMenu::conversionLogRequested);
  addAction(&ConversionLog);
}

}  // namespace rowvane::app
