#pragma once

#include <QCursor>
#include <QString>
#include <optional>

namespace rowvane::app {

/// Loads a Windows cursor file (.cur) as a pointer, with the hot spot that the
/// file gives. Nothing when the file cannot be read as an image.
std::optional<QCursor> LoadCursorFile(const QString& path);

}  // namespace rowvane::app
