#pragma once

#include <QString>

namespace rowvane::app {

/// True when the file system can tell the last-modified time of `path`: an
/// existing file or folder. Any failure (empty path, no such file, a name the
/// file system rejects) gives false.
bool PathExists(const QString& path);

}  // namespace rowvane::app
