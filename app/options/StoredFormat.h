#pragma once

#include <QString>

#include "engine/Settings.h"

class QSettings;

namespace rowvane::app {

/// The CSV format last chosen in the window, kept in the settings store under
/// keys of its own ("Format/LineBreaks", "Format/Quotes", "Format/Escaping");
/// the output folder's key is never touched. A choice that is not stored, or
/// stored as something unknown, reads as classic.
rowvane::CsvFormat LoadFormat(const QSettings& store);

/// Stores `format`, written through at once.
void SaveFormat(QSettings& store, const rowvane::CsvFormat& format);

/// The layout last chosen ("Format/Layout": elements, attributes or
/// template); a template without its file ("Format/Template") reads as
/// elements, as does anything unknown.
rowvane::OutputLayout LoadLayout(const QSettings& store);
QString LoadTemplatePath(const QSettings& store);
/// The schema's file ("Format/Schema"); empty: no schema check.
QString LoadSchemaPath(const QSettings& store);

/// Stores the layout, the template's file and the schema's, written through at once.
void SaveLayout(QSettings& store, rowvane::OutputLayout layout, const QString& templatePath,
                const QString& schemaPath);

}  // namespace rowvane::app
