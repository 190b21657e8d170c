#include "app/handlers/ApplicationErrorReport.h"

#include "app/desktop/MessageBoxes.h"
#include "app/desktop/ProductInfo.h"

namespace rowvane::app {

QString ApplicationErrorText(const QString& location, int line, const QString& description) {
  return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") +
         QString::number(line) + QStringLiteral("\r\r") +
         QStringLiteral("Please email screenshot of this message to ") +
         QString::fromUtf8(kSupportEmailAddress);
}

void ApplicationErrorReport::ShowApplicationError(const QString& location, int line,
                                                  const QString& description) const {
  m_boxes.showMessage(m_owner, QString::fromUtf8(kApplicationErrorTitle),
                      ApplicationErrorText(location, line, description), MessageIcon::Warning);
}

}  // namespace rowvane::app
