#pragma once

#include <functional>
#include <string>

#include "engine/csv/TextReader.h"

namespace rowvane {

/// Appends the rest of the current line of `reader` to `line` and consumes it
/// with its CR LF, moving the text out of the input window as it is read, so a
/// line of any length is held once. `more` reads on, as TextReader::more()
/// does, and may let the caller run its events.
/// Throws ConversionError(FailureKind::OutOfMemory) naming the line's whole
/// size when the line cannot be held; the rest of the line is still read, to
/// know that size.
void TakeRestOfLine(TextReader& reader, std::string& line, const std::function<bool()>& more);

}  // namespace rowvane
