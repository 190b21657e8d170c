#pragma once

#include <QToolButton>

namespace rowvane::app {

/// The flat button beside the one naming the format: after a run with
/// failures or warnings it counts them ("1 failure, 2 warnings") and asks for
/// the conversion log when pressed; after a clean run, and during a run, it
/// is hidden. Like its neighbour it takes no focus: the keyboard reaches the
/// log through the View menu.
class RunProblemsButton : public QToolButton {
  Q_OBJECT

 public:
  explicit RunProblemsButton(QWidget* parent = nullptr);

  /// Shows what the last run counted; none of either hides the button.
  void showProblems(int failures, int warnings);

  /// Within the maximum size, as its neighbour's.
  QSize sizeHint() const override { return QToolButton::sizeHint().boundedTo(maximumSize()); }

 signals:
  void conversionLogRequested();
};

}  // namespace rowvane::app
