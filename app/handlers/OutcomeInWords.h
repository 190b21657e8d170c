#pragma once

#include <QString>
#include <QStringList>

#include "engine/Conversion.h"

namespace rowvane::app {

/// What became of a file, as the conversion log says it: "converted", or
/// "failed: " and each reason the engine gave.
QString ResultInWords(const rowvane::FileOutcome& outcome);

/// What a conversion noticed about its input, one plain sentence each, as
/// the conversion log and the preview say it.
QStringList WarningsInWords(const rowvane::ConversionWarnings& warnings);

/// Everything a converted file's user should know besides its result: the
/// input's warnings, an output named without a dot, a folder not flushed.
QStringList WarningsInWords(const rowvane::FileOutcome& outcome);

}  // namespace rowvane::app
