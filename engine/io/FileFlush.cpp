#include "engine/io/FileFlush.h"

#include <unistd.h>

#include <cerrno>

namespace rowvane {

int FlushFileData(int fd) {
  return ::fdatasync(fd) == 0 ? 0 : errno;
}

}  // namespace rowvane
