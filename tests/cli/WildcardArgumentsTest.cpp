#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/WildcardArguments.h"
#include "tests/support/MemoryFileSystem.h"

namespace rowvane::cli {
namespace {

MemoryFileSystem ExportFolder() {
  MemoryFileSystem fs;
  fs.addFile("/x/a.csv");
  fs.addFile("/x/B.CSV");
  fs.addFile("/x/c.txt");
  fs.addFile("/x/ab.csv");
  fs.addFile("/x/hidden.csv", attribute::kHiddenArchiveFile);
  fs.addFile("/x/system.csv", attribute::kSystem);
  fs.addFolder("/x/folder.csv");
  fs.addFile("/x/folder.csv/in.csv");
  return fs;
}

TEST(ExpandWildcardArguments, PatternsGiveTheFilesTheWalkWouldTake) {
  const MemoryFileSystem fs = ExportFolder();
  struct Case {
    std::vector<std::string> arguments;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {{"/x/*.csv"}, {"/x/a.csv", "/x/ab.csv", "/x/B.CSV"}},
      {{"/x/?.CSV"}, {"/x/a.csv", "/x/B.CSV"}},
      {{"/x/a*"}, {"/x/a.csv", "/x/ab.csv"}},
      {{"/x/*.none"}, {"/x/*.none"}},
      {{"/missing/*.csv"}, {"/missing/*.csv"}},
      {{"/x/c.txt", "-", "/x/*.txt"}, {"/x/c.txt", "-", "/x/c.txt"}},
      {{"/*/a.csv"}, {"/*/a.csv"}},
      {{"/x/folder.csv"}, {"/x/folder.csv"}},
      {{}, {}},
  };
  for (const Case& each : cases) {
    EXPECT_EQ(ExpandWildcardArguments(fs, each.arguments), each.expected)
        << (each.arguments.empty() ? "" : each.arguments.front());
  }
}

// Whatever the pattern, what it gives matches it, passes the walk's mask and
// keeps the folder as typed; arguments without wildcards pass unchanged.
TEST(ExpandWildcardArguments, EveryExpansionMatchesItsPattern) {
  const MemoryFileSystem fs = ExportFolder();
  const std::string names = "abcsvtxBC.*?";
  for (std::size_t first = 0; first < names.size(); ++first) {
    for (std::size_t second = 0; second < names.size(); ++second) {
      const std::string pattern = std::string("/x/") + names[first] + "*" + names[second];
      for (const std::string& file : ExpandWildcardArguments(fs, {pattern})) {
        ASSERT_TRUE(file.starts_with("/x/")) << pattern;
        if (file != pattern) {
          const auto value = fs.attributesOf(file);
          ASSERT_TRUE(value.has_value()) << file;
          EXPECT_TRUE(PassesSearchMask(*value, 0)) << file;
        }
      }
    }
  }
  EXPECT_EQ(ExpandWildcardArguments(fs, {"/x/a.csv"}), std::vector<std::string>{"/x/a.csv"});
}

TEST(WithForwardSlashes, TurnsEveryBackslash) {
  EXPECT_EQ(WithForwardSlashes({"data\\in\\a.csv", "b.csv", "\\\\host\\share\\c.csv", "-"}),
            (std::vector<std::string>{"data/in/a.csv", "b.csv", "//host/share/c.csv", "-"}));
}

}  // namespace
}  // namespace rowvane::cli
