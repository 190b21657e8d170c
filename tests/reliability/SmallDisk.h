#pragma once

#include <string>

namespace rowvane::reliability {

/// The small tmpfs that scripts/reliability mounts for the window's runs
/// ($ROWVANE_RELIABILITY_TMPFS); empty when there is none.
std::string SmallDisk();

/// Writes a file named "filler" into `folder` until its file system is full.
void FillFolder(const std::string& folder);

}  // namespace rowvane::reliability
