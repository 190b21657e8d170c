#include <sched.h>

#include <algorithm>

#include "cli/ProcessorCount.h"

namespace rowvane::cli {

unsigned ProcessorsForThisProcess(unsigned machine) {
  unsigned processors = std::max(machine, 1U);
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (::sched_getaffinity(0, sizeof(allowed), &allowed) == 0 && CPU_COUNT(&allowed) > 0) {
    processors = static_cast<unsigned>(CPU_COUNT(&allowed));
  }
  if (const auto quota = CgroupProcessors("/proc/self/cgroup", "/sys/fs/cgroup")) {
    processors = std::min(processors, *quota);
  }
  return std::max(processors, 1U);
}

}  // namespace rowvane::cli
