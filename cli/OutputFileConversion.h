#pragma once

#include <string>

#include "engine/BatchConverter.h"
#include "engine/ConversionSettings.h"
#include "engine/FileConverter.h"

namespace rowvane::cli {

/// Converts one input ("-": standard input) into `outputFile` ("-": standard
/// output), for -O. A regular file (or a new one) is replaced whole once
/// complete, like every output; anything else is written in place, never
/// renamed over. Nothing is written to a stream before the input's encoding
/// is settled: with an auto-detected encoding the output waits in an unnamed
/// temporary file, and standard input is kept in one so it can be read again.
/// `observer` hears of the one file as index 0. A closed pipe ends the
/// program (EndAsClosedPipe). Without `syncToDisk` a replaced file is still
/// renamed into place, but neither it nor its folder is flushed.
FileOutcome ConvertToOutputFile(const std::string& input, const std::string& outputFile,
                                const ConversionSettings& settings, bool syncToDisk,
                                BatchObserver& observer);

/// What messages call standard input and standard output.
inline constexpr const char* kStandardInputName = "standard input";
inline constexpr const char* kStandardOutputName = "standard output";

}  // namespace rowvane::cli
