#pragma once

#include <cstdint>

#include "engine/ByteSource.h"
#include "engine/ConversionObserver.h"
#include "engine/ConversionSettings.h"
#include "engine/ConversionTuning.h"
#include "engine/OutputSink.h"

namespace rowvane {

/// Converts CSV bytes into the XML layout: decodes the input (byte-order mark,
/// else UTF-8, else Windows-1252; or `settings.InputEncoding` when set), splits it into lines at CR
/// LF and into fields at `settings.Separator`, and writes the document, row and field elements to
/// `sink` in UTF-8 with CR LF line breaks. Memory stays flat whatever the size of the input, its
/// lines or its fields; only the header line is held. `settings.OutputFolder` is not used. Gives
/// the number of ill-formed UTF-8 sequences replaced by U+FFFD (only a fixed UTF-8 replaces any).
/// Throws ConversionError from the source or the sink, and std::bad_alloc.
std::uint64_t ConvertCsvToXml(ByteSource& source, OutputSink& sink,
                              const ConversionSettings& settings, ConversionObserver& observer,
                              const ConversionTuning& tuning = {});

}  // namespace rowvane
