#pragma once

#include <string>

namespace rowvane {

/// True when `path` names an existing folder (links followed). Never fails:
/// an empty text, a missing path or a file gives false.
bool FolderExists(const std::string& path);

}  // namespace rowvane
