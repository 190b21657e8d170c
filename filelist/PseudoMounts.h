#pragma once

#include <cstdint>
#include <set>
#include <string_view>

namespace rowvane {

/// True for the types of kernel pseudo file systems (proc, sysfs, cgroup...),
/// whose folders hold no user files and some of which never end when walked.
bool IsPseudoFileSystemType(std::string_view type);

/// Device numbers (as stat's st_dev) of the pseudo file systems mounted
/// according to `mountInfo`, text in the format of /proc/self/mountinfo.
/// Lines that cannot be read are passed over.
std::set<std::uint64_t> PseudoFileSystemDevices(std::string_view mountInfo);

}  // namespace rowvane
