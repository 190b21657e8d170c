#include "cli/ProcessorCount.h"

#include <sched.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/TempDir.h"

namespace rowvane::cli {
namespace {

TEST(ProcessorCount, ReadsQuotasRoundedUp) {
  const std::vector<std::pair<const char*, std::optional<unsigned>>> rows = {
      {"max 100000", std::nullopt}, {"100000 100000", 1U},  {"150000 100000", 2U},
      {"200000 100000", 2U},        {"50000 100000", 1U},   {"1 100000", 1U},
      {"400000 100000", 4U},        {"", std::nullopt},     {"100000", std::nullopt},
      {"x 100000", std::nullopt},   {"100 0", std::nullopt}};
  for (const auto& [line, expected] : rows) {
    EXPECT_EQ(ProcessorsOfQuota(line), expected) << line;
  }
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

TEST(ProcessorCount, TakesTheSmallestQuotaUpToTheRoot) {
  // (the group's own cpu.max, its parent's, what the process gets)
  const std::vector<std::tuple<const char*, const char*, std::optional<unsigned>>> rows = {
      {"max 100000\n", "max 100000\n", std::nullopt},
      {"250000 100000\n", "max 100000\n", 3U},
      {"max 100000\n", "100000 100000\n", 1U},
      {"800000 100000\n", "300000 100000\n", 3U},
      {nullptr, "200000 100000\n", 2U},
  };
  for (const auto& [own, parent, expected] : rows) {
    const testing::TempDir temp;
    const std::filesystem::path root = temp.path() / "cgroup";
    WriteFile(temp.path() / "self", "1:cpu:/legacy\n0::/jobs/task\n");
    if (own != nullptr) {
      WriteFile(root / "jobs/task/cpu.max", own);
    }
    WriteFile(root / "jobs/cpu.max", parent);
    EXPECT_EQ(CgroupProcessors(temp.path() / "self", root), expected) << (own ? own : "none");
  }
  const testing::TempDir temp;
  WriteFile(temp.path() / "self", "4:memory:/x\n");  // no unified hierarchy
  EXPECT_EQ(CgroupProcessors(temp.path() / "self", temp.path()), std::nullopt);
}

TEST(ProcessorCount, FollowsTheAffinityOfTheProcess) {
  cpu_set_t before;
  ASSERT_EQ(::sched_getaffinity(0, sizeof(before), &before), 0);
  const auto allowed = static_cast<unsigned>(CPU_COUNT(&before));
  EXPECT_LE(ProcessorsForThisProcess(allowed + 7), allowed);
  int first = 0;
  while (!CPU_ISSET(first, &before)) {
    ++first;
  }
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(first, &one);
  ASSERT_EQ(::sched_setaffinity(0, sizeof(one), &one), 0);
  EXPECT_EQ(ProcessorsForThisProcess(64), 1U);
  ASSERT_EQ(::sched_setaffinity(0, sizeof(before), &before), 0);
}

}  // namespace
}  // namespace rowvane::cli
