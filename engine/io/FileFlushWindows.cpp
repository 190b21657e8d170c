#include <windows.h>

#include "engine/io/FileFlush.h"
#include "engine/io/WindowsFiles.h"

namespace rowvane {

int FlushFileData(int fd) {
  return ::FlushFileBuffers(HandleOfDescriptor(fd)) ? 0 : ErrnoOfWindowsError(::GetLastError());
}

}  // namespace rowvane
