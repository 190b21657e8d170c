#pragma once

#include <cstddef>
#include <optional>
#include <type_traits>

#include "engine/core/ConversionTuning.h"
#include "engine/core/Encoding.h"
#include "engine/csv/TextReader.h"
#include "engine/io/ByteSource.h"

namespace rowvane {

/// Reads `source` as text with `read` (a callable taking a TextReader&) in
/// the encoding every reading of an input takes: `fixed` when given; else
/// UTF-16 by its byte-order mark or UTF-8, and when the text turns out not to
/// be UTF-8, once more from the start as Windows-1252 after `startOver` has
/// dropped what the first reading made (`tuning.textNotUtf8` goes there at
/// once). Gives what `read` gives.
template <typename Read, typename StartOver>
std::invoke_result_t<Read&, TextReader&> ReadInDetectedEncoding(ByteSource& source,
                                                                std::optional<Encoding> fixed,
                                                                const ConversionTuning& tuning,
                                                                Read&& read,
                                                                StartOver&& startOver) {
  if (fixed) {
    TextReader reader(source, tuning.readChunk, false, fixed);
    return read(reader);
  }
  if (!tuning.textNotUtf8) {
    try {
      TextReader reader(source, tuning.readChunk, false);
      return read(reader);
    } catch (const NotUtf8&) {
      // Not UTF-8 after all: start over and read the text as Windows-1252.
    }
    startOver();
    source.rewind();
  }
  TextReader reader(source, tuning.readChunk, true);
  return read(reader);
}

}  // namespace rowvane
