#pragma once

#include <cstdint>

#include "engine/core/ConversionObserver.h"
#include "engine/core/ConversionResult.h"
#include "engine/core/ConversionSettings.h"
#include "engine/core/ConversionTuning.h"
#include "engine/io/ByteSource.h"
#include "engine/io/OutputSink.h"

namespace rowvane {

/// Converts CSV bytes into the XML layout: decodes the input (byte-order mark,
/// else UTF-8, else Windows-1252; or `settings.InputEncoding` when set), reads
/// its records by `settings` (see ReadRecords; classic: lines at CR LF, fields
/// at `settings.Separator`), and writes the document, row and field elements
/// to `sink` in UTF-8 with CR LF line breaks, escaped when the format asks for
/// it (see ElementLayout). Memory stays flat whatever the size of
/// the input, its lines or its fields; only the header line is held.
/// Gives what the user should be warned of and the count of records written.
/// Throws ConversionError from the source or the sink, std::bad_alloc, and
/// std::invalid_argument for settings SettingsProblem() refuses.
ConversionResult ConvertCsvToXml(ByteSource& source, OutputSink& sink,
                                 const ConversionSettings& settings, ConversionObserver& observer,
                                 const ConversionTuning& tuning = {});

/// Reads `source` to its end as text without a known encoding and tells
/// whether a conversion would take it as UTF-8 (or UTF-16 by its mark)
/// rather than start over in Windows-1252. Throws the source's errors.
bool TextIsUtf8(ByteSource& source, std::size_t chunk);

}  // namespace rowvane
