#pragma once

#include <QProgressBar>
#include <QString>

namespace rowvane::app {

/// A progress bar that takes its position as a floating-point percentage and
/// shows a free text on the bar.
class TextProgressBar : public QProgressBar {
  Q_OBJECT

 public:
  explicit TextProgressBar(QWidget* parent = nullptr);

  /// Position from 0 to 100; values outside are held at the nearest end.
  void setPercent(double percent);
  double percent() const;

  void setText(const QString& text);
  QString text() const override { return m_text; }

 private:
  QString m_text;
};

}  // namespace rowvane::app
