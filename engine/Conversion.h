#pragma once

// The engine's front door, part 2 of 5: converting.
// - A stream: `ConvertCompressed` reads any `ByteSource` (gunzipped when
//   asked) and writes any `OutputSink` (gzipped, checked against a schema
//   when the settings say so), giving a `ConversionResult`.
// - A file into a folder, or into a name the caller chose: `ConvertFile`,
//   atomically, giving a `FileOutcome` (status, output path, failures with
//   their errno, notes, warnings by kind, records and byte counts); a stream
//   into a named file: `ConvertStreamToFile`, with the same outcome.
// - What a caller watches and answers while it runs: `ConversionObserver`
//   with its pause answers (continue, stop, leave).
// - The input's text: the encoding a file's first bytes announce or imply
//   and the decoder, for callers that show what they read.
// Failures inside a conversion are `ConversionError`s; at this door they are
// `Failure` values in the outcome.

#include "engine/Settings.h"
#include "engine/batch/CompressedConversion.h"
#include "engine/batch/CsvToXml.h"
#include "engine/batch/FileConverter.h"
#include "engine/core/ConversionObserver.h"
#include "engine/core/ConversionResult.h"
#include "engine/core/ConversionWarnings.h"
#include "engine/core/Failure.h"
#include "engine/csv/TextDecoder.h"
