#pragma once

#include <QString>

#include "filelist/AddFolder.h"

class QWidget;

namespace rowvane::app {

class ApplicationErrorReport;
class EventPump;
class WindowPointer;
struct WindowServices;

/// What a handler reaches of the window besides the controls it works on.
struct HandlerContext {
  /// Owner of the dialogs and message boxes the handler shows.
  QWidget* owner;
  const WindowServices& services;
  const ApplicationErrorReport& report;
  WindowPointer& pointer;
  EventPump& pump;
  /// Title of the handler's message boxes.
  QString applicationTitle;

  /// Shows `text` with OK only, no icon and the application title.
  void showMessage(const QString& text) const;

  /// Shows `text` with a warning, OK and a button captioned `action`, under
  /// the application title; true when the user chose `action`.
  bool offerAction(const QString& text, const QString& action) const;

  /// Runs the window's pending events; false when the window has been
  /// closed, so that a long operation ends at once.
  bool letEventsRun() const;

  /// The same, as the pause the folder walks take: Leave once the window is closed.
  rowvane::LetEventsRun eventsRun() const;
};

}  // namespace rowvane::app
