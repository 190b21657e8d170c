#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "cli/Shard.h"

namespace rowvane::cli {

/// An environment variable's value; nullopt when it is not set.
using VariableLookup = std::function<std::optional<std::string>(const char* name)>;

/// --shard auto or --shard auto/N: the share is the job runner's to say.
struct AutoShard {
  /// N of auto/N; none for auto, which takes it from Slurm as well.
  std::optional<std::uint64_t> count;
};

/// "auto" or "auto/N" with N >= 1 as typed; nullopt for anything else.
std::optional<AutoShard> AutoShardFromTyped(std::string_view typed);

/// Why the job runner's variables give no share, said for a person.
struct AutoShardProblem {
  std::string message;
};

/// The share of this task:
/// - auto: K = SLURM_ARRAY_TASK_ID - SLURM_ARRAY_TASK_MIN and
///   N = SLURM_ARRAY_TASK_COUNT, only when the array's ids run without gaps
///   (SLURM_ARRAY_TASK_MAX - SLURM_ARRAY_TASK_MIN + 1 = N);
/// - auto/N: K from Slurm as above (whose array, when it says, must have N
///   tasks) or from Kubernetes' JOB_COMPLETION_INDEX, exactly one of them.
/// Anything else is a problem that names the variables.
std::variant<Shard, AutoShardProblem> ShardFromJobRunner(const AutoShard& request,
                                                         const VariableLookup& variable);

}  // namespace rowvane::cli
