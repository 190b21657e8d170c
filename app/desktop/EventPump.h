#pragma once

namespace rowvane::app {

/// Lets pending window events run in the midst of a long operation, and tells
/// the operation when the window has been closed meanwhile.
class EventPump {
 public:
  /// Runs the pending events. False when the window is closed (perhaps by one
  /// of those events): the operation must then stop at once.
  bool letPendingEventsRun();

  /// The window is closing; every operation still going must end.
  void windowClosed() { m_closed = true; }
  bool closed() const { return m_closed; }

 private:
  bool m_closed = false;
};

}  // namespace rowvane::app
