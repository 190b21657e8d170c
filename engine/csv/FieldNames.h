#pragma once

#include <string>
#include <vector>

#include "engine/core/ConversionSettings.h"
#include "engine/core/ConversionTuning.h"
#include "engine/io/ByteSource.h"

namespace rowvane {

/// The names of an input's fields as a conversion by `settings` would read
/// them: the header's values as they stand, or header1... for as many fields
/// as the first record has. Empty for an input with neither. Reads the input
/// through (decoding as a conversion does) and writes nothing.
/// Throws ConversionError from the source, and std::bad_alloc.
std::vector<std::string> ReadFieldNames(ByteSource& source, const ConversionSettings& settings,
                                        const ConversionTuning& tuning = {});

}  // namespace rowvane
