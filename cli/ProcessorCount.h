#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rowvane::cli {

/// The processors a cgroup v2 `cpu.max` line ("QUOTA PERIOD" or "max PERIOD")
/// allows, rounded up; nullopt for no limit or a line that says nothing.
std::optional<unsigned> ProcessorsOfQuota(std::string_view cpuMax);

/// The smallest quota on the way from this process's cgroup v2 group (read from
/// `selfCgroup`, as /proc/self/cgroup) up to the root mounted at `cgroupRoot`.
std::optional<unsigned> CgroupProcessors(const std::string& selfCgroup,
                                         const std::string& cgroupRoot);

/// How many files to convert at once by default: the processors this process
/// may run on (its CPU affinity), fewer when a cgroup quota allows fewer;
/// never 0. `machine` is used when the affinity cannot be read.
unsigned ProcessorsForThisProcess(unsigned machine);

}  // namespace rowvane::cli
