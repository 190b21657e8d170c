#include "cli/AutoShard.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <string>
#include <vector>

namespace rowvane::cli {
namespace {

using ::testing::HasSubstr;
using Variables = std::map<std::string, std::string>;

VariableLookup From(const Variables& variables) {
  return [&variables](const char* name) -> std::optional<std::string> {
    const auto found = variables.find(name);
    return found != variables.end() ? std::optional(found->second) : std::nullopt;
  };
}

Variables Slurm(const char* id, const char* min, const char* max, const char* count) {
  return {{"SLURM_ARRAY_TASK_ID", id},
          {"SLURM_ARRAY_TASK_MIN", min},
          {"SLURM_ARRAY_TASK_MAX", max},
          {"SLURM_ARRAY_TASK_COUNT", count}};
}

Variables With(Variables variables, const char* name, const char* value) {
  variables[name] = value;
  return variables;
}

Variables Without(Variables variables, const char* name) {
  variables.erase(name);
  return variables;
}

struct AutoCase {
  const char* name;
  const char* typed;
  Variables variables;
  // The share "K/N", or words the refusal must contain (each one).
  std::string share;
  std::vector<std::string> refusalNames = {};
};

void PrintTo(const AutoCase& row, std::ostream* out) {
  *out << row.name;
}

class JobRunnerShares : public ::testing::TestWithParam<AutoCase> {};

TEST_P(JobRunnerShares, GiveTheShareOrNameTheVariables) {
  const AutoCase& row = GetParam();
  const auto request = AutoShardFromTyped(row.typed);
  ASSERT_TRUE(request.has_value());
  const auto share = ShardFromJobRunner(*request, From(row.variables));
  if (row.refusalNames.empty()) {
    ASSERT_TRUE(std::holds_alternative<Shard>(share)) << std::get<AutoShardProblem>(share).message;
    const Shard& shard = std::get<Shard>(share);
    EXPECT_EQ(std::to_string(shard.index) + "/" + std::to_string(shard.count), row.share);
    return;
  }
  ASSERT_TRUE(std::holds_alternative<AutoShardProblem>(share));
  for (const std::string& word : row.refusalNames) {
    EXPECT_THAT(std::get<AutoShardProblem>(share).message, HasSubstr(word));
  }
}

const Variables kTask3Of8 = Slurm("3", "0", "7", "8");
const Variables kOneBased = Slurm("8", "1", "8", "8");

INSTANTIATE_TEST_SUITE_P(
    AutoShard, JobRunnerShares,
    ::testing::Values(
        AutoCase{"slurm from zero", "auto", kTask3Of8, "3/8"},
        AutoCase{"slurm from one, last task", "auto", kOneBased, "7/8"},
        AutoCase{"slurm from 100", "auto", Slurm("100", "100", "103", "4"), "0/4"},
        AutoCase{"slurm single task", "auto", Slurm("5", "5", "5", "1"), "0/1"},
        AutoCase{"stepped array",
                 "auto",
                 Slurm("14", "0", "14", "8"),
                 "",
                 {"consecutive", "SLURM_ARRAY_TASK_MIN", "SLURM_ARRAY_TASK_MAX"}},
        AutoCase{"sparse list", "auto", Slurm("9", "1", "9", "3"), "", {"consecutive"}},
        AutoCase{"count missing",
                 "auto",
                 Without(kTask3Of8, "SLURM_ARRAY_TASK_COUNT"),
                 "",
                 {"SLURM_ARRAY_TASK_COUNT"}},
        AutoCase{"max missing",
                 "auto",
                 Without(kTask3Of8, "SLURM_ARRAY_TASK_MAX"),
                 "",
                 {"SLURM_ARRAY_TASK_MAX"}},
        AutoCase{"no slurm at all",
                 "auto",
                 {},
                 "",
                 {"SLURM_ARRAY_TASK_ID", "SLURM_ARRAY_TASK_MIN", "SLURM_ARRAY_TASK_COUNT"}},
        AutoCase{"kubernetes index is not enough for auto",
                 "auto",
                 {{"JOB_COMPLETION_INDEX", "2"}},
                 "",
                 {"SLURM_ARRAY_TASK_ID"}},
        AutoCase{"id not a number",
                 "auto",
                 With(kTask3Of8, "SLURM_ARRAY_TASK_ID", "3a"),
                 "",
                 {"SLURM_ARRAY_TASK_ID", "'3a'"}},
        AutoCase{"negative min",
                 "auto",
                 With(kTask3Of8, "SLURM_ARRAY_TASK_MIN", "-1"),
                 "",
                 {"SLURM_ARRAY_TASK_MIN"}},
        AutoCase{"id beyond max",
                 "auto",
                 With(kTask3Of8, "SLURM_ARRAY_TASK_ID", "8"),
                 "",
                 {"SLURM_ARRAY_TASK_ID 8"}},
        AutoCase{"id below min",
                 "auto",
                 With(kOneBased, "SLURM_ARRAY_TASK_ID", "0"),
                 "",
                 {"SLURM_ARRAY_TASK_ID 0"}},
        AutoCase{"slurm with N", "auto/8", kTask3Of8, "3/8"},
        AutoCase{"slurm with N, one-based", "auto/8", kOneBased, "7/8"},
        AutoCase{"slurm array smaller than N",
                 "auto/16",
                 kTask3Of8,
                 "",
                 {"16 shares", "SLURM_ARRAY_TASK_COUNT", "8 tasks"}},
        AutoCase{"slurm with N, only id and min",
                 "auto/4",
                 {{"SLURM_ARRAY_TASK_ID", "2"}, {"SLURM_ARRAY_TASK_MIN", "0"}},
                 "2/4"},
        AutoCase{"slurm with N, min missing",
                 "auto/4",
                 {{"SLURM_ARRAY_TASK_ID", "2"}},
                 "",
                 {"SLURM_ARRAY_TASK_MIN"}},
        AutoCase{"slurm with N, id beyond N",
                 "auto/4",
                 {{"SLURM_ARRAY_TASK_ID", "4"}, {"SLURM_ARRAY_TASK_MIN", "0"}},
                 "",
                 {"SLURM_ARRAY_TASK_ID 4"}},
        AutoCase{
            "slurm with N, stepped", "auto/8", Slurm("0", "0", "14", "8"), "", {"consecutive"}},
        AutoCase{"kubernetes", "auto/5", {{"JOB_COMPLETION_INDEX", "4"}}, "4/5"},
        AutoCase{"kubernetes first", "auto/5", {{"JOB_COMPLETION_INDEX", "0"}}, "0/5"},
        AutoCase{"kubernetes index too large",
                 "auto/5",
                 {{"JOB_COMPLETION_INDEX", "5"}},
                 "",
                 {"JOB_COMPLETION_INDEX 5"}},
        AutoCase{"kubernetes index not a number",
                 "auto/5",
                 {{"JOB_COMPLETION_INDEX", ""}},
                 "",
                 {"JOB_COMPLETION_INDEX"}},
        AutoCase{"both runners",
                 "auto/8",
                 With(kTask3Of8, "JOB_COMPLETION_INDEX", "3"),
                 "",
                 {"both", "SLURM_ARRAY_TASK_ID", "JOB_COMPLETION_INDEX"}},
        AutoCase{"neither runner",
                 "auto/8",
                 {{"SLURM_JOB_ID", "12"}},
                 "",
                 {"SLURM_ARRAY_TASK_ID", "JOB_COMPLETION_INDEX", "neither"}}),
    [](const auto& row) {
      std::string name = row.param.name;
      for (char& c : name) {
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      }
      return name;
    });

TEST(AutoShard, ReadsOnlyAutoAndAutoWithACount) {
  const std::vector<std::pair<const char*, std::optional<std::uint64_t>>> accepted = {
      {"auto", std::nullopt}, {"auto/1", 1}, {"auto/16", 16}};
  for (const auto& [typed, count] : accepted) {
    const auto read = AutoShardFromTyped(typed);
    ASSERT_TRUE(read.has_value()) << typed;
    EXPECT_EQ(read->count, count) << typed;
  }
  for (const char* typed : {"auto/0", "auto/", "auto/x", "auto/-1", "auto16", "Auto", "auto/ 2",
                            "1/auto", "", "auto/2/3"}) {
    EXPECT_FALSE(AutoShardFromTyped(typed).has_value()) << typed;
  }
}

}  // namespace
}  // namespace rowvane::cli
