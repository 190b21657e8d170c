#pragma once

#include <QString>
#include <QUrl>
#include <string>

namespace rowvane::app {

// A file's name is bytes, UTF-8 or not; the window carries it in a QString
// without losing any: a byte that is no part of valid UTF-8 travels as the
// lone surrogate U+DC80 to U+DCFF, which valid text never holds.

/// The QString that carries `bytes`, a path as the file system gives it.
QString PathFromBytes(const std::string& bytes);

/// The bytes a QString from PathFromBytes (or any text) names.
std::string PathBytes(const QString& path);

/// The path as shown to the user: each carried byte as U+FFFD.
QString PathForDisplay(const QString& path);

/// The local file a URL names, with the bytes its percent-escapes hold
/// (one on another host as "//host/x"); empty for a URL that is no local file.
QString PathFromUrl(const QUrl& url);

}  // namespace rowvane::app
