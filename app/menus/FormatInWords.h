#pragma once

#include <QString>

#include "engine/Settings.h"

namespace rowvane::app {

/// What is in force, in the words the window shows at the right end of its
/// menu bar: "Classic CSV" or "Standard CSV" when all three choices are the
/// preset's, "Custom CSV" for a mix. Further parts (the layout, the schema)
/// follow it, each after " · ": "Attributes" or "Template: NAME.xml" when the
/// layout is not elements, and "Schema: NAME.xsd" when one is set.
QString FormatInWords(const rowvane::CsvFormat& format,
                      rowvane::OutputLayout layout = rowvane::OutputLayout::Elements,
                      const QString& templatePath = {}, const QString& schemaPath = {});

}  // namespace rowvane::app
