#pragma once

#include "engine/CsvFormat.h"

class QSettings;

namespace rowvane::app {

/// The CSV format last chosen in the window, kept in the settings store under
/// keys of its own ("Format/LineBreaks", "Format/Quotes", "Format/Escaping");
/// the output folder's key is never touched. A choice that is not stored, or
/// stored as something unknown, reads as classic.
rowvane::CsvFormat LoadFormat(const QSettings& store);

/// Stores `format`, written through at once.
void SaveFormat(QSettings& store, const rowvane::CsvFormat& format);

}  // namespace rowvane::app
