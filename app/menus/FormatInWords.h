#pragma once

#include <QString>

#include "engine/CsvFormat.h"

namespace rowvane::app {

/// What is in force, in the words the window shows at the right end of its
/// menu bar: "Classic CSV" or "Standard CSV" when all three choices are the
/// preset's, "Custom CSV" for a mix. Further parts (the layout, the schema)
/// follow it, each after " · ".
QString FormatInWords(const rowvane::CsvFormat& format);

}  // namespace rowvane::app
