#include "app/menus/FormatInWords.h"

#include <QFileInfo>
#include <QStringList>

namespace rowvane::app {

namespace {

QString CsvInWords(const rowvane::CsvFormat& format) {
  if (format == rowvane::CsvFormat::Classic()) {
    return QStringLiteral("Classic CSV");
  }
  if (format == rowvane::CsvFormat::Standard()) {
    return QStringLiteral("Standard CSV");
  }
  return QStringLiteral("Custom CSV");
}

}  // namespace

QString FormatInWords(const rowvane::CsvFormat& format, rowvane::OutputLayout layout,
                      const QString& templatePath, const QString& schemaPath) {
  QStringList parts{CsvInWords(format)};
  if (layout == rowvane::OutputLayout::FieldsAsAttributes) {
    parts << QStringLiteral("Attributes");
  } else if (layout == rowvane::OutputLayout::Template) {
    parts << QStringLiteral("Template: ") + QFileInfo(templatePath).fileName();
  }
  if (!schemaPath.isEmpty()) {
    parts << QStringLiteral("Schema: ") + QFileInfo(schemaPath).fileName();
  }
  return parts.join(QStringLiteral(" \u00b7 "));
}

}  // namespace rowvane::app
