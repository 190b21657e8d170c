#include "app/options/StoredFormat.h"

#include <QSettings>
#include <array>
#include <string>
#include <string_view>

namespace rowvane::app {
namespace {

const QString kLineBreaksKey = QStringLiteral("Format/LineBreaks");
const QString kQuotesKey = QStringLiteral("Format/Quotes");
const QString kEscapingKey = QStringLiteral("Format/Escaping");
const QString kLayoutKey = QStringLiteral("Format/Layout");
const QString kTemplateKey = QStringLiteral("Format/Template");
const QString kSchemaKey = QStringLiteral("Format/Schema");

QString LayoutWord(rowvane::OutputLayout layout) {
  const std::string_view word = rowvane::WordOf(rowvane::kLayoutWords, layout);
  return QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size()));
}

bool StoredAs(const QSettings& store, const QString& key, rowvane::OutputLayout layout) {
  return store.value(key).toString() == LayoutWord(layout);
}

// The choice stored under `key`; `otherwise` when nothing or an unknown word is stored.
template <typename Choice, std::size_t N>
Choice StoredChoice(const QSettings& store, const QString& key,
                    const std::array<rowvane::FormatWord<Choice>, N>& words, Choice otherwise) {
  const std::string word = store.value(key).toString().toStdString();
  return rowvane::ChoiceNamed(words, word).value_or(otherwise);
}

template <typename Choice, std::size_t N>
void StoreChoice(QSettings& store, const QString& key,
                 const std::array<rowvane::FormatWord<Choice>, N>& words, Choice choice) {
  const std::string_view word = rowvane::WordOf(words, choice);
  store.setValue(key, QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size())));
}

}  // namespace

rowvane::CsvFormat LoadFormat(const QSettings& store) {
  rowvane::CsvFormat format;
  format.lineBreaks =
      StoredChoice(store, kLineBreaksKey, rowvane::kLineBreaksWords, format.lineBreaks);
  format.quotes = StoredChoice(store, kQuotesKey, rowvane::kQuotesWords, format.quotes);
  format.escaping = StoredChoice(store, kEscapingKey, rowvane::kEscapingWords, format.escaping);
  return format;
}

void SaveFormat(QSettings& store, const rowvane::CsvFormat& format) {
  // The same words as the command line's options.
  StoreChoice(store, kLineBreaksKey, rowvane::kLineBreaksWords, format.lineBreaks);
  StoreChoice(store, kQuotesKey, rowvane::kQuotesWords, format.quotes);
  StoreChoice(store, kEscapingKey, rowvane::kEscapingWords, format.escaping);
  store.sync();
}

rowvane::OutputLayout LoadLayout(const QSettings& store) {
  if (StoredAs(store, kLayoutKey, rowvane::OutputLayout::FieldsAsAttributes)) {
    return rowvane::OutputLayout::FieldsAsAttributes;
  }
  if (StoredAs(store, kLayoutKey, rowvane::OutputLayout::Template) &&
      !LoadTemplatePath(store).isEmpty()) {
    return rowvane::OutputLayout::Template;
  }
  return rowvane::OutputLayout::Elements;
}

QString LoadTemplatePath(const QSettings& store) {
  return StoredAs(store, kLayoutKey, rowvane::OutputLayout::Template)
             ? store.value(kTemplateKey).toString()
             : QString();
}

QString LoadSchemaPath(const QSettings& store) {
  return store.value(kSchemaKey).toString();
}

void SaveLayout(QSettings& store, rowvane::OutputLayout layout, const QString& templatePath,
                const QString& schemaPath) {
  // The same words as the command line's --layout.
  store.setValue(kLayoutKey, LayoutWord(layout));
  store.setValue(kTemplateKey, templatePath);
  store.setValue(kSchemaKey, schemaPath);
  store.sync();
}

}  // namespace rowvane::app
