// A walk through a tree that others may write to follows only the links
// that root or the walker made.
#include "filelist/TrustedLinksOnly.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "filelist/GatherFolderFiles.h"
#include "filelist/PosixFileSystem.h"
#include "tests/support/TempDir.h"

namespace rowvane {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kOtherUser = 65534;

enum class Owner { Root, Self, Other };

struct Entry {
  const char* name;
  const char* linkTo;  // relative to the tree's "target" folder; null: a plain file
  Owner owner;
  bool walked;
};

// The walker runs as a user of its own (1000) so that "self" and "root" differ.
const Entry kEntries[] = {
    {"plain.csv", nullptr, Owner::Other, true},
    {"root-link.csv", "t.csv", Owner::Root, true},
    {"own-link.csv", "t.csv", Owner::Self, true},
    {"planted-link.csv", "t.csv", Owner::Other, false},
};

uid_t UidOf(Owner owner, uid_t self) {
  switch (owner) {
    case Owner::Root:
      return 0;
    case Owner::Self:
      return self;
    case Owner::Other:
      return kOtherUser;
  }
  return kOtherUser;
}

TEST(TrustedLinksOnlyTest, FollowsOnlyTheLinksOfRootAndTheWalker) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "giving links to other owners needs root";
  }
  const uid_t self = 1000;
  const testing::TempDir tree;
  tree.write("target/t.csv", "a\r\n");
  fs::create_directories(tree.path() / "walked");
  for (const Entry& entry : kEntries) {
    const fs::path path = tree.path() / "walked" / entry.name;
    if (entry.linkTo == nullptr) {
      tree.write(std::string("walked/") + entry.name, "a\r\n");
    } else {
      fs::create_symlink(tree.path() / "target" / entry.linkTo, path);
    }
    ASSERT_EQ(::lchown(path.c_str(), UidOf(entry.owner, self), 0), 0) << entry.name;
  }

  const PosixFileSystem platform;
  const TrustedLinksOnly trusted(platform, self);
  const std::string walked = (tree.path() / "walked").string();
  const std::vector<std::string> files = GatherFolderFiles(trusted, walked);
  const std::vector<std::string> everything = GatherFolderFiles(platform, walked);
  for (const Entry& entry : kEntries) {
    const std::string prefix = walked + "/" + entry.name;
    auto reached = [&](const std::vector<std::string>& list) {
      return std::any_of(list.begin(), list.end(),
                         [&](const std::string& file) { return file.starts_with(prefix); });
    };
    EXPECT_EQ(reached(files), entry.walked) << entry.name;
    EXPECT_TRUE(reached(everything)) << entry.name << ": the platform's own walk follows it";
  }
}

}  // namespace
}  // namespace rowvane
