#pragma once

#include <QHash>
#include <QList>
#include <QObject>

#include "app/controls/WindowPointer.h"

class QWidget;

namespace rowvane::app {

/// The hover rule over a window's areas: a mouse movement over an area shows
/// the pointer given for it (see WindowPointer::hover), and does not reach
/// the frame or window behind. Quiet areas have no rule: the pointer stays as
/// it is, and the movement stops there too. Every rule runs untrapped.
class HoverPointers : public QObject {
  Q_OBJECT

 public:
  explicit HoverPointers(WindowPointer& pointer, QObject* parent = nullptr)
      : QObject(parent), m_pointer(pointer) {}

  /// A movement over each of `areas` shows `pointer`; with `stopHere` it
  /// goes no further.
  void show(const QList<QWidget*>& areas, int pointer, bool stopHere = true);
  /// A movement over each of `areas` changes nothing.
  void quiet(const QList<QWidget*>& areas);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  WindowPointer& m_pointer;
  QHash<QObject*, int> m_pointers;
};

}  // namespace rowvane::app
