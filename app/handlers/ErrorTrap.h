#pragma once

#include <QString>
#include <exception>
#include <functional>
#include <utility>

#include "app/desktop/NumberedError.h"

namespace rowvane::app {

class ApplicationErrorReport;

/// What a trap knows of a failure.
struct TrappedError {
  int number = 0;  ///< the NumberedError's number; 0 for other failures
  QString description;
};

/// The error trap of one run of a handler. The statements of a handler that
/// can fail run as steps, each under the label the report quotes; a step that
/// throws is abandoned, the "Application Error" report names the handler's
/// location and the step's label, and the handler goes on with its next
/// statement. The trap stays armed until the handler ends or is left; once
/// left, every further step is skipped.
class ErrorTrap {
 public:
  enum class Verdict { Report, LeaveHandler };
  /// Sees each failure before the report and may leave the handler instead.
  using FirstLook = std::function<Verdict(const TrappedError&)>;

  ErrorTrap(const ApplicationErrorReport& report, QString location, FirstLook firstLook = {})
      : m_report(report), m_location(std::move(location)), m_firstLook(std::move(firstLook)) {}

  /// Runs the statement labelled `line`. True when it completed; false when it
  /// failed (and was reported) or the handler has been left.
  template <typename Action>
  bool step(int line, Action&& action) {
    if (!m_active) {
      return false;
    }
    m_line = line;
    try {
      std::forward<Action>(action)();
      return true;
    } catch (...) {
      handle(std::current_exception());
      return false;
    }
  }

  /// Evaluates the test of a conditional labelled `line`. A test that fails
  /// counts as held: the statement after it is the first of its branch.
  template <typename Test>
  bool test(int line, Test&& condition) {
    if (!m_active) {
      return false;
    }
    m_line = line;
    try {
      return static_cast<bool>(std::forward<Test>(condition)());
    } catch (...) {
      handle(std::current_exception());
      return m_active;
    }
  }

  /// Reports a failure that a step handed back as a result instead of
  /// throwing it; the handler goes on as after a thrown one.
  void failedAt(int line, const QString& description);

  /// Leaves the handler: later steps are skipped and nothing more is reported.
  void leave() { m_active = false; }

  /// False once the handler has been left.
  bool active() const { return m_active; }

 private:
  void handle(std::exception_ptr failure);
  void report(const TrappedError& error);

  const ApplicationErrorReport& m_report;
  QString m_location;
  FirstLook m_firstLook;
  int m_line = 0;
  bool m_active = true;
};

/// Runs a handler that has no error trap. A failure in it is passed over
/// without a word: it must neither end the program (the user's list would be
/// lost) nor leave a Qt slot as an exception.
template <typename Handler>
void RunUntrapped(Handler&& handler) noexcept {
  try {
    std::forward<Handler>(handler)();
  } catch (...) {
    // Deliberately silent: these handlers report nothing.
  }
}

}  // namespace rowvane::app
