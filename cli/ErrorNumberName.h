#pragma once

namespace rowvane::cli {

/// The symbolic name of an error number ("ENOSPC"); null for one the
/// platform does not name.
const char* ErrorNumberName(int error);

}  // namespace rowvane::cli
