#include <windows.h>

#include <algorithm>
#include <bit>

#include "cli/ProcessorCount.h"

namespace rowvane::cli {

unsigned ProcessorsForThisProcess(unsigned machine) {
  unsigned processors = std::max(machine, 1U);
  DWORD_PTR allowed = 0;
  DWORD_PTR system = 0;
  if (::GetProcessAffinityMask(::GetCurrentProcess(), &allowed, &system) && allowed != 0) {
    processors = std::min(processors, static_cast<unsigned>(std::popcount(allowed)));
  }
  return std::max(processors, 1U);
}

}  // namespace rowvane::cli
