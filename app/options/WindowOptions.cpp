#include "app/options/WindowOptions.h"

#include <QSettings>

#include "app/options/StoredFormat.h"

namespace rowvane::app {

WindowOptions::WindowOptions(QSettings& store, QObject* parent)
    : QObject(parent),
      m_store(store),
      m_format(LoadFormat(store)),
      m_layout(LoadLayout(store)),
      m_templatePath(LoadTemplatePath(store)),
      m_schemaPath(LoadSchemaPath(store)) {}

rowvane::CsvFormat WindowOptions::format() const {
  return rowvane::FormatInForce(m_format, m_layout, !m_schemaPath.isEmpty());
}

bool WindowOptions::wellFormedForced() const {
  return rowvane::NeedsWellFormedXml(m_layout, !m_schemaPath.isEmpty());
}

QString WindowOptions::wellFormedReason() const {
  if (m_layout == rowvane::OutputLayout::FieldsAsAttributes) {
    return tr("attributes need it");
  }
  if (m_layout == rowvane::OutputLayout::Template) {
    return tr("a template needs it");
  }
  return m_schemaPath.isEmpty() ? QString() : tr("a schema check needs it");
}

void WindowOptions::chooseFormat(const rowvane::CsvFormat& format) {
  m_format = format;
  store();
}

void WindowOptions::chooseLayout(rowvane::OutputLayout layout, const QString& templatePath) {
  m_layout = layout;
  m_templatePath = layout == rowvane::OutputLayout::Template ? templatePath : QString();
  store();
}

void WindowOptions::chooseSchema(const QString& path) {
  m_schemaPath = path;
  store();
}

void WindowOptions::store() {
  SaveFormat(m_store, m_format);
  SaveLayout(m_store, m_layout, m_templatePath, m_schemaPath);
  emit changed();
}

}  // namespace rowvane::app
