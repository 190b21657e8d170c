#pragma once

#include <QString>

class QWidget;

namespace rowvane::app {

class MessageBoxes;

/// Title of the report box.
inline constexpr char kApplicationErrorTitle[] = "Application Error";

/// The report's text: the description, CR LF, the handler's location text,
/// "at line " and the line, two bare CRs, then the request to email a
/// screenshot to the support address.
QString ApplicationErrorText(const QString& location, int line, const QString& description);

/// Shows the "Application Error" report: warning icon, OK only, modal.
class ApplicationErrorReport {
 public:
  ApplicationErrorReport(MessageBoxes& boxes, QWidget* owner) : m_boxes(boxes), m_owner(owner) {}

  /// Returns once the user has closed the report.
  void ShowApplicationError(const QString& location, int line, const QString& description) const;

 private:
  MessageBoxes& m_boxes;
  QWidget* m_owner;
};

}  // namespace rowvane::app
