#pragma once

#include <string>
#include <vector>

#include "engine/core/ConversionSettings.h"
#include "engine/core/ConversionTuning.h"
#include "engine/csv/ValueTypes.h"
#include "engine/io/ByteSource.h"

namespace rowvane {

/// The names of an input's fields as a conversion by `settings` would read
/// them: the header's values as they stand, or header1... for as many fields
/// as the first record has. Empty for an input with neither. Reads the input
/// through (decoding as a conversion does) and writes nothing.
/// Throws ConversionError from the source, and std::bad_alloc.
std::vector<std::string> ReadFieldNames(ByteSource& source, const ConversionSettings& settings,
                                        const ConversionTuning& tuning = {});

/// The names of an input's fields as ReadFieldNames gives them, and what
/// the values of each were found to be, over the whole input.
struct InputFields {
  std::vector<std::string> names;
  std::vector<FieldValues> values;  ///< one per name
};

/// ReadFieldNames that also looks at every value of every record (streaming:
/// of each value only its first kTypedValueBytes are kept, and a longer one
/// is text).
InputFields ReadTypedFields(ByteSource& source, const ConversionSettings& settings,
                            const ConversionTuning& tuning = {});

/// How much of a value is looked at for its type.
inline constexpr std::size_t kTypedValueBytes = 64;

}  // namespace rowvane
