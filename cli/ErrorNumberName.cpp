#include "cli/ErrorNumberName.h"

#include <cstring>

namespace rowvane::cli {

const char* ErrorNumberName(int error) {
  return strerrorname_np(error);
}

}  // namespace rowvane::cli
