#include "app/menus/StoredFormat.h"

#include <QSettings>

namespace rowvane::app {
namespace {

const QString kLineBreaksKey = QStringLiteral("Format/LineBreaks");
const QString kQuotesKey = QStringLiteral("Format/Quotes");
const QString kEscapingKey = QStringLiteral("Format/Escaping");

bool StoredAs(const QSettings& store, const QString& key, const QString& word) {
  return store.value(key).toString() == word;
}

}  // namespace

rowvane::CsvFormat LoadFormat(const QSettings& store) {
  rowvane::CsvFormat format;
  if (StoredAs(store, kLineBreaksKey, QStringLiteral("any"))) {
    format.lineBreaks = rowvane::LineBreaks::Any;
  }
  if (StoredAs(store, kQuotesKey, QStringLiteral("double"))) {
    format.quotes = rowvane::Quotes::Double;
  }
  if (StoredAs(store, kEscapingKey, QStringLiteral("xml"))) {
    format.escaping = rowvane::Escaping::Xml;
  }
  return format;
}

void SaveFormat(QSettings& store, const rowvane::CsvFormat& format) {
  // The same words as the command line's options.
  store.setValue(kLineBreaksKey, format.lineBreaks == rowvane::LineBreaks::Any
                                     ? QStringLiteral("any")
                                     : QStringLiteral("crlf"));
  store.setValue(kQuotesKey, format.quotes == rowvane::Quotes::Double ? QStringLiteral("double")
                                                                      : QStringLiteral("none"));
  store.setValue(kEscapingKey, format.escaping == rowvane::Escaping::Xml ? QStringLiteral("xml")
                                                                         : QStringLiteral("none"));
  store.sync();
}

}  // namespace rowvane::app
