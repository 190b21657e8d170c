#include "cli/AutoShard.h"

#include <array>
#include <charconv>

namespace rowvane::cli {
namespace {

constexpr const char* kTaskId = "SLURM_ARRAY_TASK_ID";
constexpr const char* kTaskMin = "SLURM_ARRAY_TASK_MIN";
constexpr const char* kTaskMax = "SLURM_ARRAY_TASK_MAX";
constexpr const char* kTaskCount = "SLURM_ARRAY_TASK_COUNT";
constexpr const char* kCompletionIndex = "JOB_COMPLETION_INDEX";

// The whole of `digits` as a number; nullopt for a sign, space, overflow or nothing.
std::optional<std::uint64_t> WholeNumber(std::string_view digits) {
  std::uint64_t value = 0;
  const char* const end = digits.data() + digits.size();
  if (digits.empty() || digits.front() < '0' || digits.front() > '9') {
    return std::nullopt;
  }
  const auto [stop, error] = std::from_chars(digits.data(), end, value);
  if (error != std::errc() || stop != end) {
    return std::nullopt;
  }
  return value;
}

// The variables of a Slurm array task that were read, all numbers.
struct SlurmTask {
  std::uint64_t id = 0;
  std::uint64_t min = 0;
  std::optional<std::uint64_t> max;
  std::optional<std::uint64_t> count;
};

using Numbers = std::variant<SlurmTask, AutoShardProblem>;

// Reads `name` as a whole number into `into`; a problem when it is set but no number.
std::optional<AutoShardProblem> ReadNumber(const VariableLookup& variable, const char* name,
                                           std::optional<std::uint64_t>& into) {
  const std::optional<std::string> text = variable(name);
  if (!text) {
    return std::nullopt;
  }
  into = WholeNumber(*text);
  if (!into) {
    return AutoShardProblem{std::string(name) + " is '" + *text + "', not a whole number"};
  }
  return std::nullopt;
}

// The Slurm variables; `required` lists those that must be set.
std::variant<SlurmTask, AutoShardProblem> ReadSlurmTask(const VariableLookup& variable,
                                                        bool countRequired,
                                                        const std::string& asked) {
  std::array<std::optional<std::uint64_t>, 4> values;
  const std::array<const char*, 4> names = {kTaskId, kTaskMin, kTaskMax, kTaskCount};
  std::string missing;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (auto problem = ReadNumber(variable, names[i], values[i])) {
      return *problem;
    }
    const bool required = i < 2 || countRequired;
    if (required && !values[i]) {
      missing += (missing.empty() ? "" : ", ") + std::string(names[i]);
    }
  }
  if (!missing.empty()) {
    return AutoShardProblem{asked + " needs the variables of a Slurm array task (" + missing +
                            " not set)"};
  }
  return SlurmTask{*values[0], *values[1], values[2], values[3]};
}

// The task's place in its array, checked against the array's own variables.
std::variant<Shard, AutoShardProblem> SlurmShare(const SlurmTask& task, std::uint64_t count,
                                                 const std::string& asked) {
  if (task.count && *task.count != count) {
    return AutoShardProblem{asked + " makes " + std::to_string(count) + " shares, but " +
                            kTaskCount + " says the array has " + std::to_string(*task.count) +
                            " tasks"};
  }
  if (task.max && (*task.max < task.min || *task.max - task.min + 1 != count)) {
    return AutoShardProblem{asked + " needs an array of " + std::to_string(count) +
                            " consecutive task ids, but " + kTaskMin + ".." + kTaskMax + " is " +
                            std::to_string(task.min) + ".." + std::to_string(*task.max) +
                            " (an array with a step or a list of ids?)"};
  }
  if (task.id < task.min || task.id - task.min >= count) {
    return AutoShardProblem{asked + ": " + kTaskId + " " + std::to_string(task.id) +
                            " is not one of the " + std::to_string(count) + " tasks from " +
                            kTaskMin + " " + std::to_string(task.min)};
  }
  return Shard{task.id - task.min, count};
}

std::variant<Shard, AutoShardProblem> FromSlurm(const VariableLookup& variable,
                                                std::optional<std::uint64_t> count,
                                                const std::string& asked) {
  const auto read = ReadSlurmTask(variable, !count, asked);
  if (const auto* problem = std::get_if<AutoShardProblem>(&read)) {
    return *problem;
  }
  const SlurmTask& task = std::get<SlurmTask>(read);
  return SlurmShare(task, count.value_or(task.count.value_or(0)), asked);
}

std::variant<Shard, AutoShardProblem> FromIndexedJob(const VariableLookup& variable,
                                                     std::uint64_t count,
                                                     const std::string& asked) {
  std::optional<std::uint64_t> index;
  if (auto problem = ReadNumber(variable, kCompletionIndex, index)) {
    return *problem;
  }
  if (*index >= count) {
    return AutoShardProblem{asked + ": " + kCompletionIndex + " " + std::to_string(*index) +
                            " is not below " + std::to_string(count)};
  }
  return Shard{*index, count};
}

}  // namespace

std::optional<AutoShard> AutoShardFromTyped(std::string_view typed) {
  constexpr std::string_view kAuto = "auto";
  if (typed == kAuto) {
    return AutoShard{};
  }
  if (!typed.starts_with(kAuto) || typed.size() < kAuto.size() + 2 || typed[kAuto.size()] != '/') {
    return std::nullopt;
  }
  const auto count = WholeNumber(typed.substr(kAuto.size() + 1));
  if (!count || *count == 0) {
    return std::nullopt;
  }
  return AutoShard{count};
}

std::variant<Shard, AutoShardProblem> ShardFromJobRunner(const AutoShard& request,
                                                         const VariableLookup& variable) {
  if (!request.count) {
    return FromSlurm(variable, std::nullopt, "--shard auto");
  }
  const std::string asked = "--shard auto/" + std::to_string(*request.count);
  const bool slurm = variable(kTaskId).has_value();
  const bool indexedJob = variable(kCompletionIndex).has_value();
  if (slurm && indexedJob) {
    return AutoShardProblem{asked + " found both " + kTaskId + " (Slurm) and " + kCompletionIndex +
                            " (Kubernetes); unset the one that does not belong to this task"};
  }
  if (slurm) {
    return FromSlurm(variable, request.count, asked);
  }
  if (indexedJob) {
    return FromIndexedJob(variable, *request.count, asked);
  }
  return AutoShardProblem{asked + " needs " + kTaskId + " (a Slurm array task) or " +
                          kCompletionIndex + " (a Kubernetes Indexed Job); neither is set"};
}

}  // namespace rowvane::cli
