#pragma once

#include <cstdint>
#include <optional>

#include "engine/ConversionObserver.h"
#include "engine/ConversionResult.h"
#include "engine/ConversionSettings.h"
#include "engine/ConversionTuning.h"
#include "engine/RecordLayout.h"
#include "engine/TextReader.h"

namespace rowvane {

/// Reads the records of `reader` by `settings` (separator, header row, and
/// every choice of `settings.Format`) and drives `layout` with them:
/// - line breaks CrLf: only CR LF ends a line; Any: CR LF, LF and CR each do,
///   and empty lines carry no record;
/// - quotes Double: a field that begins with `"` runs to the next lone `"`,
///   holding separators and line breaks as data, with `""` standing for `"`;
///   what follows the closing quote up to the next separator or line break is
///   appended; the end of the input inside such a field ends the record;
/// - a header repeat (a record equal to the header: the same line under
///   quotes None, the same values otherwise) carries no record;
/// - a record shorter than the names is padded with empty values, and values
///   past them are dropped and counted.
/// Streams: only the header is held, and lets the observer in at most once
/// per pause interval, inside long records and long headers too. A header
/// line that cannot be held is a ConversionError(FailureKind::OutOfMemory)
/// naming its size. Throws NotUtf8 and ConversionError from the reader and
/// the layout.
template <RecordLayout Layout>
ConversionResult ReadRecords(TextReader& reader, Layout& layout, const ConversionSettings& settings,
                             ConversionObserver& observer, const ConversionTuning& tuning,
                             std::optional<std::uint64_t> inputSize);

}  // namespace rowvane
