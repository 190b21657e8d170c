#include <gtest/gtest.h>
#include <unistd.h>

#include "engine/io/OutputNaming.h"
#include "engine/io/PathExists.h"
#include "tests/support/TempDir.h"

namespace rowvane {
namespace {

TEST(FileNameOf, TakesWhatFollowsTheLastSeparator) {
  EXPECT_EQ(FileNameOf("/data/staff.csv"), "staff.csv");
  EXPECT_EQ(FileNameOf("staff.csv"), "staff.csv");
  EXPECT_EQ(FileNameOf("/data/"), "");
  EXPECT_EQ(FileNameOf(""), "");
}

TEST(StripExtension, CutsAtTheLastDotOnly) {
  EXPECT_EQ(StripExtension("report.final.csv"), "report.final");
  EXPECT_EQ(StripExtension(".csv"), "");
  EXPECT_EQ(StripExtension("name."), "name");
  EXPECT_EQ(StripExtension("README"), std::nullopt);
}

TEST(OutputPathFor, JoinsFolderAndNameAsTyped) {
  EXPECT_EQ(OutputPathFor("/data/staff.csv", "/out").path, "/out/staff.xml");
  EXPECT_EQ(OutputPathFor("/data/a.b.csv", "/out").path, "/out/a.b.xml");
  EXPECT_EQ(OutputPathFor("/data/.csv", "/out").path, "/out/.xml");
  EXPECT_EQ(OutputPathFor("/data/staff.csv", "/out/").path, "/out//staff.xml");
  const OutputName noDot = OutputPathFor("/data/README", "/out");
  EXPECT_EQ(noDot.path, "/out/README.xml");
  EXPECT_FALSE(noDot.hadDot);
  EXPECT_TRUE(OutputPathFor("/data/staff.csv", "/out").hadDot);
}

TEST(PathExists, IsTrueForWhatTheFileSystemCanDescribe) {
  const testing::TempDir dir;
  const std::string file = dir.write("file.txt", "x");
  const std::string dangling = dir / "dangling";
  ASSERT_EQ(::symlink("missing", dangling.c_str()), 0);
  EXPECT_TRUE(PathExists(dir.path().string()));
  EXPECT_TRUE(PathExists(dir.path().string() + "/"));
  EXPECT_TRUE(PathExists(file));
  EXPECT_FALSE(PathExists(file + "/"));
  EXPECT_FALSE(PathExists(dir / "missing"));
  EXPECT_FALSE(PathExists(dangling));
  EXPECT_FALSE(PathExists(""));
  EXPECT_FALSE(PathExists(std::string("/tmp\0x", 6)));
  EXPECT_FALSE(PathExists(dir / std::string(300, 'a')));
}

}  // namespace
}  // namespace rowvane
