#pragma once

#include <QHBoxLayout>
#include <QWidget>

#include "app/menus/FormatCornerButton.h"
#include "app/menus/RunProblemsButton.h"

class QMenuBar;

namespace rowvane::app {

/// The buttons at the right end of a menu bar: the last run's problems and
/// the Format choice in words. They keep to the room the menus leave: the
/// format's words are cut in the middle beyond a fixed share of the bar, or
/// sooner when the menus need the room, and the bar lays itself out again
/// whenever a text changes, so that every menu stays visible and reachable
/// and the two buttons never overlap. The buttons keep the bar's height.
class MenuBarCorner : public QWidget {
  Q_OBJECT

 public:
  /// The format button opens `formatMenu`.
  explicit MenuBarCorner(QMenu& formatMenu, QWidget* parent = nullptr);

  /// Takes the right end of `bar`, once its menus are in it.
  void placeIn(QMenuBar& bar);

  /// The most of the bar's width the format's words take.
  static constexpr double kFormatShare = 0.45;

  RunProblemsButton& problemsButton() { return m_problems; }
  FormatCornerButton& formatButton() { return m_format; }

  /// Shows what the last run counted (see RunProblemsButton).
  void showProblems(int failures, int warnings);
  /// Shows the format's words (see FormatCornerButton).
  void showFormat(const QString& words, const QString& details);

 protected:
  bool event(QEvent* event) override;

 private:
  void fit();

  QMenuBar* m_bar = nullptr;
  QHBoxLayout m_layout{this};
  RunProblemsButton m_problems{this};
  FormatCornerButton m_format;
  bool m_fitting = false;
};

}  // namespace rowvane::app
