#pragma once

#include "engine/core/ConversionObserver.h"
#include "engine/core/ConversionResult.h"
#include "engine/core/ConversionSettings.h"
#include "engine/core/ConversionTuning.h"
#include "engine/io/ByteSource.h"
#include "engine/io/OutputSink.h"

namespace rowvane {

/// ConvertCsvToXml, reading `source` as a gzip stream when `gunzip` is set
/// (progress then counts the compressed bytes read, out of `source.size()`),
/// and writing `sink` as a gzip stream when `settings.GzipLevel` is set.
/// With `settings.Schema`, the XML is checked against it as it is written
/// (before compression), and a mismatch throws
/// ConversionError(FailureKind::Schema) once the output is complete.
/// Throws as ConvertCsvToXml does; corrupt or truncated compressed input is a
/// ConversionError(FailureKind::Read).
ConversionResult ConvertCompressed(ByteSource& source, bool gunzip, OutputSink& sink,
                                   const ConversionSettings& settings, ConversionObserver& observer,
                                   const ConversionTuning& tuning = {});

/// TextIsUtf8 of `source`, read as a gzip stream when `gunzip` is set; the
/// source is rewound after, ready for the conversion.
bool CompressedTextIsUtf8(ByteSource& source, bool gunzip, std::size_t chunk);

}  // namespace rowvane
