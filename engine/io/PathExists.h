#pragma once

#include <string>

namespace rowvane {

/// True when `path` names an existing file or folder (links followed), so
/// that the file system can tell its attributes. Never fails: an empty text,
/// a missing path or a name the file system rejects gives false.
bool PathExists(const std::string& path);

}  // namespace rowvane
