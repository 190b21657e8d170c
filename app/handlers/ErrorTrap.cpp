#include "app/handlers/ErrorTrap.h"

#include <new>

#include "app/handlers/ApplicationErrorReport.h"

namespace rowvane::app {

namespace {

TrappedError Describe(const NumberedError& error) {
  return {error.number(), QString::fromUtf8(error.what())};
}

TrappedError Describe(const std::exception& error) {
  return {0, QString::fromUtf8(error.what())};
}

}  // namespace

void ErrorTrap::failedAt(int line, const QString& description) {
  if (!m_active) {
    return;
  }
  m_line = line;
  report({0, description});
}

void ErrorTrap::handle(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const NumberedError& error) {
    report(Describe(error));
  } catch (const std::bad_alloc&) {
    report({0, QStringLiteral("Out of memory")});
  } catch (const std::exception& error) {
    report(Describe(error));
  } catch (...) {
    report({0, QStringLiteral("Unexpected failure")});
  }
}

void ErrorTrap::report(const TrappedError& error) {
  if (m_firstLook && m_firstLook(error) == Verdict::LeaveHandler) {
    leave();
    return;
  }
  m_report.ShowApplicationError(m_location, m_line, error.description);
}

}  // namespace rowvane::app
