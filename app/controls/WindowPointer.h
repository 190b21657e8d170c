#pragma once

#include <QCursor>
#include <optional>

class QWidget;

namespace rowvane::app {

/// The window's mouse pointer: one value for the top-level window that holds
/// `area` and all its controls.
/// 0 is the ordinary arrow (text boxes keep their text cursor), 11 the
/// hourglass of a long operation, 99 the custom hand.
class WindowPointer {
 public:
  static constexpr int kDefault = 0;
  static constexpr int kHourglass = 11;
  static constexpr int kCustom = 99;

  explicit WindowPointer(QWidget& area) : m_area(area) {}

  int value() const { return m_value; }
  void set(int value);

  /// True while a long operation shows the hourglass.
  bool busy() const { return m_value == kHourglass; }

  /// The image behind the value 99. Without one, the desktop's pointing hand
  /// stands in.
  void setCustomCursor(const QCursor& cursor);

  /// Hover rule: a mouse movement sets `value`, unless the hourglass shows.
  void hover(int value);

 private:
  QCursor cursorFor(int value) const;

  QWidget& m_area;
  std::optional<QCursor> m_custom;
  int m_value = kDefault;
};

}  // namespace rowvane::app
