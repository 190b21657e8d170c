#pragma once

#include <QString>
#include <QStringList>

#include "engine/Conversion.h"

namespace rowvane::app {

/// What became of a file in one word, as the conversion log's table says it:
/// "converted", "failed", "stopped", or "skipped" for a file not there.
QString ResultInWords(const rowvane::FileOutcome& outcome);

/// Why a file was not converted, each reason the engine gave in full
/// ("cannot read the input: Is a directory"); empty for a converted file.
QString ReasonInWords(const rowvane::FileOutcome& outcome);

/// A schema's verdict on an output as the window says it: the line it names
/// is the output's ("orders.xsd: output line 16: ..."), not the schema's.
QString SchemaVerdictInWords(const QString& verdict);

/// What a conversion noticed about its input, one plain sentence each, as
/// the conversion log and the preview say it.
QStringList WarningsInWords(const rowvane::ConversionWarnings& warnings);

/// Everything a converted file's user should know besides its result: the
/// input's warnings, an output named without a dot, a folder not flushed.
QStringList WarningsInWords(const rowvane::FileOutcome& outcome);

}  // namespace rowvane::app
