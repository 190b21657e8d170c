#pragma once

namespace rowvane {

/// Flushes the bytes of the open file `fd` (and what reading them back
/// needs) to the disk; 0, or the error number of the failure.
int FlushFileData(int fd);

}  // namespace rowvane
