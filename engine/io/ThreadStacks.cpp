#include "engine/io/ThreadStacks.h"

#include <pthread.h>

namespace rowvane {

void UseModestThreadStacks() {
  pthread_attr_t attributes;
  if (::pthread_getattr_default_np(&attributes) != 0) {
    return;
  }
  std::size_t current = 0;
  if (::pthread_attr_getstacksize(&attributes, &current) == 0 && current > kModestThreadStack &&
      ::pthread_attr_setstacksize(&attributes, kModestThreadStack) == 0) {
    ::pthread_setattr_default_np(&attributes);
  }
  ::pthread_attr_destroy(&attributes);
}

}  // namespace rowvane
