#include "app/menus/StoredFormat.h"

#include <QSettings>

namespace rowvane::app {
namespace {

const QString kLineBreaksKey = QStringLiteral("Format/LineBreaks");
const QString kQuotesKey = QStringLiteral("Format/Quotes");
const QString kEscapingKey = QStringLiteral("Format/Escaping");
const QString kLayoutKey = QStringLiteral("Format/Layout");
const QString kTemplateKey = QStringLiteral("Format/Template");
const QString kSchemaKey = QStringLiteral("Format/Schema");

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

rowvane::OutputLayout LoadLayout(const QSettings& store) {
  if (StoredAs(store, kLayoutKey, QStringLiteral("attributes"))) {
    return rowvane::OutputLayout::FieldsAsAttributes;
  }
  if (StoredAs(store, kLayoutKey, QStringLiteral("template")) &&
      !LoadTemplatePath(store).isEmpty()) {
    return rowvane::OutputLayout::Template;
  }
  return rowvane::OutputLayout::Elements;
}

QString LoadTemplatePath(const QSettings& store) {
  return StoredAs(store, kLayoutKey, QStringLiteral("template"))
             ? store.value(kTemplateKey).toString()
             : QString();
}

QString LoadSchemaPath(const QSettings& store) {
  return store.value(kSchemaKey).toString();
}

void SaveLayout(QSettings& store, rowvane::OutputLayout layout, const QString& templatePath,
                const QString& schemaPath) {
  // The same words as the command line's --layout.
  store.setValue(kLayoutKey, layout == rowvane::OutputLayout::Template ? QStringLiteral("template")
                             : layout == rowvane::OutputLayout::FieldsAsAttributes
                                 ? QStringLiteral("attributes")
                                 : QStringLiteral("elements"));
  store.setValue(kTemplateKey, templatePath);
  store.setValue(kSchemaKey, schemaPath);
  store.sync();
}

}  // namespace rowvane::app
