#include "engine/io/ThreadStacks.h"

namespace rowvane {

void UseModestThreadStacks() {
  // Windows commits a thread's stack page by page as it grows; only the
  // address space of its reservation is taken at the start, so there is
  // nothing to save by asking for less.
}

}  // namespace rowvane
