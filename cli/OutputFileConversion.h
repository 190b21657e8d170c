#pragma once

#include <string>

#include "engine/Batch.h"
#include "engine/Conversion.h"
#include "engine/Settings.h"

namespace rowvane::cli {

/// Converts one input ("-": standard input) into `outputFile` ("-": standard
/// output), for -O, where ResolveOutputTarget says: a regular file (or a new
/// one) is replaced whole once complete, like every output, in its own folder
/// when a link leads to it; anything else is written in place, and a link is
/// never renamed over. The caller checks OutputWouldReplaceInput first. Nothing is written to a
/// stream before the input's encoding is settled: with an auto-detected encoding the output waits
/// in an unnamed temporary file, and standard input is kept in one so it can be read again.
/// `observer` hears of the one file as index 0. A closed pipe ends the
/// program (EndAsClosedPipe). Without `syncToDisk` a replaced file is still
/// renamed into place, but neither it nor its folder is flushed.
FileOutcome ConvertToOutputFile(const std::string& input, const std::string& outputFile,
                                const ConversionSettings& settings, bool syncToDisk,
                                BatchObserver& observer);

/// True when the input ("-": standard input) is a regular file that the
/// output ("-": standard output; a link followed) is too, so that writing one
/// would destroy the other or read its own output back.
bool OutputWouldReplaceInput(const std::string& input, const std::string& outputFile);

/// Why such a pair is refused.
inline constexpr const char* kOutputIsInput = "the output file would replace the input file";

/// What messages call standard input and standard output.
inline constexpr const char* kStandardInputName = "standard input";
inline constexpr const char* kStandardOutputName = "standard output";

}  // namespace rowvane::cli
