#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/ConversionObserver.h"
#include "engine/ConversionResult.h"
#include "engine/ConversionSettings.h"
#include "engine/ConversionTuning.h"
#include "engine/TextReader.h"
#include "engine/XmlWriter.h"

namespace rowvane {

/// Converts the text of `reader` by any choice of `settings.Format`:
/// - line breaks Any: CR LF, LF and CR each end a line, and empty lines carry
///   no record;
/// - quotes Double: a field that begins with `"` runs to the next lone `"`,
///   holding separators and line breaks as data, with `""` standing for `"`;
///   what follows the closing quote up to the next separator or line break is
///   appended; the end of the input inside such a field ends the record;
///   a header repeat is a record whose values equal the header's;
/// - escaping Xml: a declaration, `& < >` and CR as entities, forbidden
///   characters as U+FFFD, names fixed to what every parser accepts.
/// Streams like the classic conversion: only the header record is held.
/// Throws NotUtf8 and ConversionError from the reader and the writer.
ConversionResult ConvertWithFormat(TextReader& reader, XmlWriter& out,
                                   const ConversionSettings& settings, ConversionObserver& observer,
                                   const ConversionTuning& tuning,
                                   std::optional<std::uint64_t> inputSize);

/// The names ConvertWithFormat gives the fields of the text of `reader`: the
/// header record's (fixed when escaping), or header1, header2, ... for as
/// many values as the first record has. Reads no further than that record.
/// Throws NotUtf8 and the reader's errors.
std::vector<std::string> FieldNamesWithFormat(TextReader& reader,
                                              const ConversionSettings& settings);

}  // namespace rowvane
