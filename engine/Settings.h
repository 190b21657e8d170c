#pragma once

// The engine's front door, part 1 of 5: what a conversion is asked to do.
// The CSV format (`CsvFormat`, classic or standard, and the words that name
// its choices), the XML layout (`OutputLayout`), the input's encoding, and
// `ConversionSettings` that holds them with the separator, the record and
// field names and the output's compression, schema and template; the run's
// tuning (`ConversionTuning`) and the options a running window may change
// between files (`LiveOptions`).

#include "engine/core/ConversionSettings.h"
#include "engine/core/ConversionTuning.h"
#include "engine/core/CsvFormat.h"
#include "engine/core/Encoding.h"
#include "engine/core/LiveOptions.h"
#include "engine/core/OutputLayout.h"
