#pragma once

namespace rowvane {

/// Makes a write beyond the process's file size limit fail with an error,
/// which the engine reports for that one file, instead of ending the program
/// with a signal. Call once at the start of main().
void LetOversizedWritesFail();

}  // namespace rowvane
