#pragma once

#include <string>
#include <vector>

#include "engine/ByteSource.h"
#include "engine/ConversionSettings.h"

namespace rowvane {

/// The names the fields of `source` are written under with `settings` (whose
/// format escapes): the header record's names, fixed as the conversion fixes
/// them, or header1, header2, ... for the values of the first record. Decoded
/// as ConvertCsvToXml decodes: when the encoding is detected, the rest of the
/// text is read too, since a later byte that is not UTF-8 starts the whole
/// text over in Windows-1252 and changes the names. Throws ConversionError
/// from the source, and std::bad_alloc.
std::vector<std::string> FieldNamesOf(ByteSource& source, const ConversionSettings& settings);

}  // namespace rowvane
