#pragma once

#include <QString>

namespace rowvane::app {

/// The skin file below the program folder: "x/o.cjs".
QString SkinFilePath(const QString& programFolder);

/// True when the skin file is there as an ordinary file; a folder of that
/// name or a hidden file does not count.
bool SkinFileIsPresent(const QString& programFolder);

}  // namespace rowvane::app
