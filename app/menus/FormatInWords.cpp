#include "app/menus/FormatInWords.h"

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

QString FormatInWords(const rowvane::CsvFormat& format) {
  const QStringList parts{CsvInWords(format)};
  return parts.join(QStringLiteral(" \u00b7 "));
}

}  // namespace rowvane::app
