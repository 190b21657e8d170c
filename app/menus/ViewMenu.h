#pragma once

#include <QAction>
#include <QMenu>

namespace rowvane::app {

/// The "View" menu: windows beside the main one that show what the runs did.
/// Each entry asks by a signal; the window opens what it asks for.
class ViewMenu : public QMenu {
  Q_OBJECT

 public:
  explicit ViewMenu(QWidget* parent = nullptr);

  QAction Preview{this};
  QAction ConversionLog{this};

 signals:
  void previewRequested();
  void conversionLogRequested();
};

}  // namespace rowvane::app
