#pragma once

#include <QString>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

namespace rowvane::app {

class ApplicationErrorReport;

/// A failure that carries a number besides its description, so that a trap can
/// tell it apart from others (the file dialog's 20476, for instance).
class NumberedError : public std::runtime_error {
 public:
  NumberedError(int number, const std::string& description)
      : std::runtime_error(description), m_number(number) {}
  int number() const { return m_number; }

 private:
  int m_number;
};

/// Thrown to leave a trapped handler at once and without a report, e.g. when
/// the window closes in the middle of a long operation. Deliberately not a
/// std::exception, so that code catching those lets it pass.
struct LeaveHandler {};

/// What a trap knows of a failure.
struct TrappedError {
  int number = 0;  ///< the NumberedError's number; 0 for other failures
  QString description;
};

/// The error trap of one run of a handler. The handler is written as its
/// labelled steps; a step that throws is abandoned, the "Application Error"
/// report names the handler's location and the step's line, and the handler
/// goes on with its next step. The trap stays armed until the handler ends or
/// is left; once left, every further step is skipped.
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

  /// The label of the last labelled statement started; 0 before the first.
  int currentLine() const { return m_line; }

 private:
  void handle(std::exception_ptr failure);
  void report(const TrappedError& error);

  const ApplicationErrorReport& m_report;
  QString m_location;
  FirstLook m_firstLook;
  int m_line = 0;
  bool m_active = true;
};

}  // namespace rowvane::app
