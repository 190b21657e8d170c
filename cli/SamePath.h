#pragma once

#include <string>

namespace rowvane::cli {

/// True when both paths name the same file, whether or not it exists yet:
/// the same file on disk, or the same place once "." and ".." and links of
/// the folders above are resolved.
bool SamePath(const std::string& first, const std::string& second);

}  // namespace rowvane::cli
