#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "filelist/AddFolder.h"
#include "filelist/GatherFolderFiles.h"
#include "filelist/PosixFileSystem.h"
#include "filelist/PseudoMounts.h"

namespace rowvane {
namespace {

namespace fs = std::filesystem;
using testing::ElementsAre;
using testing::IsEmpty;

/// A folder under /tmp that everyone may enter, removed with its contents at
/// the end, locked sub-folders included.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::string pattern = (fs::temp_directory_path() / "rowvane-filelist-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("mkdtemp failed");
    }
    m_path = pattern;
    fs::permissions(m_path, fs::perms(0755));
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  ~TemporaryFolder() {
    std::error_code ignored;
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (auto it = fs::recursive_directory_iterator(m_path, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
      if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
      }
    }
    fs::remove_all(m_path, ignored);
  }

  /// Full path of `relative` inside the folder, as text.
  std::string operator/(const std::string& relative) const { return m_path + "/" + relative; }
  const std::string& path() const { return m_path; }

  void makeFolder(const std::string& relative, fs::perms mode = fs::perms(0755)) const {
    fs::create_directories(*this / relative);
    fs::permissions(*this / relative, mode);
  }
  void makeFile(const std::string& relative, fs::perms mode = fs::perms(0644)) const {
    fs::create_directories(fs::path(*this / relative).parent_path());
    std::ofstream out(*this / relative);
    out << "a,b\r\n1,2\r\n";
    out.close();
    if (!out) {
      throw std::runtime_error("cannot write " + relative);
    }
    fs::permissions(*this / relative, mode);
  }
  void makeLink(const std::string& relative, const std::string& target) const {
    fs::create_symlink(target, *this / relative);
  }
  void makePipe(const std::string& relative) const {
    ASSERT_EQ(::mkfifo((*this / relative).c_str(), 0644), 0);
  }

 private:
  std::string m_path;
};

/// In a child process: becomes the user and group "nobody" when running as
/// root, so that permissions apply as for any user. False when that fails.
bool DropRootPrivileges() {
  constexpr uid_t kNobody = 65534;
  if (::geteuid() != 0) {
    return true;
  }
  return ::setgroups(0, nullptr) == 0 && ::setresgid(kNobody, kNobody, kNobody) == 0 &&
         ::setresuid(kNobody, kNobody, kNobody) == 0;
}

/// Runs `work` in a child process as the unprivileged user "nobody" when this
/// process is root (so permissions are checked as for any user), and returns
/// the lines that the work gave back.
std::vector<std::string> RunUnprivileged(const std::function<std::vector<std::string>()>& work) {
  int channel[2];
  if (::pipe(channel) != 0) {
    ADD_FAILURE() << "pipe failed";
    return {};
  }
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    if (!DropRootPrivileges()) {
      ::_exit(2);
    }
    // The child must never return into the test runner.
    try {
      std::string text;
      for (const std::string& line : work()) {
        text += line + "\n";
      }
      const auto written = ::write(channel[1], text.data(), text.size());
      ::_exit(written == static_cast<ssize_t>(text.size()) ? 0 : 3);
    } catch (...) {
      ::_exit(4);
    }
  }
  if (child < 0) {
    ::close(channel[0]);
    ::close(channel[1]);
    ADD_FAILURE() << "fork failed";
    return {};
  }
  ::close(channel[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;) {
    text.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(channel[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

struct ExpectedValue {
  std::string relative;
  std::optional<Attributes> value;
};

TEST(PosixFileSystemTest, AttributeValues) {
  const TemporaryFolder tmp;
  tmp.makeFile("plain.csv");
  tmp.makeFile("readonly.csv", fs::perms(0444));
  tmp.makeFile(".hidden.csv");
  tmp.makeFile(".hiddenreadonly.csv", fs::perms(0400));
  tmp.makeFolder("folder");
  tmp.makeFolder(".hiddenfolder");
  tmp.makeFolder("readonlyfolder", fs::perms(0555));
  tmp.makeLink("filelink.csv", tmp / "plain.csv");
  tmp.makeLink("folderlink", "folder");
  tmp.makeLink(".hiddenlink", "folder");
  tmp.makeLink("dangling.csv", tmp / "missing.csv");
  tmp.makePipe("pipe.csv");
  tmp.makeFile("bad\xFF.csv");
  tmp.makeFolder("bad\xFE");

  const PosixFileSystem fileSystem;
  const std::vector<ExpectedValue> expected{{"plain.csv", 32},
                                            {"readonly.csv", 33},
                                            {".hidden.csv", 34},
                                            {".hiddenreadonly.csv", 35},
                                            {"folder", 16},
                                            {"folder/", 16},
                                            {".hiddenfolder", 18},
                                            {"readonlyfolder", 17},
                                            {"filelink.csv", 1056},
                                            {"folderlink", 1040},
                                            {"folderlink/", 1040},
                                            {".hiddenlink", 1042},
                                            {"dangling.csv", 1024},
                                            {"pipe.csv", 4},
                                            {"missing.csv", std::nullopt},
                                            {"plain.csv/", std::nullopt},
                                            {"dangling.csv/", std::nullopt},
                                            {"bad\xFF.csv", 32},  // names are bytes
                                            {"bad\xFE", 16}};
  for (const auto& [relative, value] : expected) {
    EXPECT_EQ(fileSystem.attributesOf(tmp / relative), value) << relative;
  }
  EXPECT_EQ(fileSystem.attributesOf(""), std::nullopt);
}

TEST(PosixFileSystemTest, PseudoFileSystemMountPointsAreHiddenSystemFolders) {
  std::ifstream in("/proc/self/mountinfo");
  std::stringstream mountInfo;
  mountInfo << in.rdbuf();
  if (mountInfo.str().find(" - proc ") == std::string::npos) {
    GTEST_SKIP() << "no proc file system mounted here";
  }
  const PosixFileSystem fileSystem;
  EXPECT_EQ(fileSystem.attributesOf("/proc"), 22U);
  EXPECT_EQ(fileSystem.attributesOf("/proc/"), 22U);
  const TemporaryFolder tmp;
  tmp.makeLink("proclink", "/proc");
  EXPECT_EQ(fileSystem.attributesOf(tmp / "proclink"), 1046U);
  // Below the mount point folders are ordinary again (here read-only).
  const auto self = fileSystem.attributesOf("/proc/1");
  ASSERT_TRUE(self.has_value());
  EXPECT_EQ(*self & 22U, 16U);
}

TEST(PosixFileSystemTest, TheRootOfAPseudoFileSystemCountsAsItsMountPoint) {
  struct stat root {};
  ASSERT_EQ(::stat("/", &root), 0);
  const PosixFileSystem asPseudo({root.st_dev});
  EXPECT_EQ(asPseudo.attributesOf("/"), 22U);
  const PosixFileSystem ordinary(std::set<std::uint64_t>{});
  EXPECT_EQ(ordinary.attributesOf("/").value_or(0) & 22U, 16U);
  EXPECT_TRUE(ordinary.isRootFolder("/"));
  EXPECT_TRUE(ordinary.isRootFolder("//"));
  EXPECT_FALSE(ordinary.isRootFolder("/tmp"));
}

TEST(PseudoMountsTest, ReadsTheDevicesOfPseudoFileSystems) {
  const std::string mountInfo =
      "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
      "23 22 0:21 / /sys rw,nosuid shared:7 - sysfs sysfs rw\n"
      "24 22 0:22 / /proc rw,nosuid shared:12 master:3 - proc proc rw\n"
      "25 22 0:5 / /dev rw - devtmpfs udev rw\n"
      "26 22 0:30 / /tmp rw - tmpfs tmpfs rw\n"
      "27 22 0:33 / /mnt/with\\040space rw - autofs systemd-1 rw\n"
      "broken line\n"
      "28 22 x:y / /bad rw - proc proc rw\n"
      "29 22 0:40 / /odd rw - cgroup2";
  EXPECT_EQ(PseudoFileSystemDevices(mountInfo),
            (std::set<std::uint64_t>{makedev(0, 21), makedev(0, 22), makedev(0, 5), makedev(0, 33),
                                     makedev(0, 40)}));
  EXPECT_TRUE(IsPseudoFileSystemType("proc"));
  EXPECT_FALSE(IsPseudoFileSystemType("tmpfs"));
  EXPECT_FALSE(IsPseudoFileSystemType("ext4"));
  EXPECT_FALSE(IsPseudoFileSystemType("overlay"));
}

TEST(PosixFileSystemTest, SearchMatchesWithoutRegardToCaseAndSortsLikewise) {
  const TemporaryFolder tmp;
  for (const char* name : {"b.CSV", "a.csv", "C.csv", "d.txt", "A.CSV.bak", ".h.csv"}) {
    tmp.makeFile(name);
  }
  tmp.makeFolder("e.csv");
  tmp.makeFolder(".f.csv");
  const PosixFileSystem fileSystem;
  EXPECT_THAT(fileSystem.search(tmp.path(), "*.csv", attribute::kFilesOfAnyKind),
              ElementsAre(".h.csv", "a.csv", "b.CSV", "C.csv"));
  EXPECT_THAT(fileSystem.search(tmp.path(), "*.csv", 0), ElementsAre("a.csv", "b.CSV", "C.csv"));
  EXPECT_THAT(fileSystem.search(tmp.path() + "/", "*.csv", attribute::kDirectory),
              ElementsAre("a.csv", "b.CSV", "C.csv", "e.csv"));
  EXPECT_THAT(fileSystem.search(tmp / "missing", "*", attribute::kFilesOfAnyKind), IsEmpty());
}

TEST(PosixFileSystemTest, SubFoldersIncludeHiddenOnesAndLinksInNameOrder) {
  const TemporaryFolder tmp;
  tmp.makeFolder("Beta");
  tmp.makeFolder("alpha");
  tmp.makeFolder(".hidden");
  tmp.makeFolder("bad\xFF");
  tmp.makeLink("link", "alpha");
  tmp.makeLink("dangling", "missing");
  tmp.makeFile("file.csv");
  const PosixFileSystem fileSystem;
  const SubFolderListing listing = fileSystem.subFoldersOf(tmp.path());
  EXPECT_EQ(listing.error, ListingError::None);
  EXPECT_THAT(listing.names, ElementsAre(".hidden", "alpha", "bad\xFF", "Beta", "link"));
  EXPECT_EQ(fileSystem.subFoldersOf(tmp / "missing").error, ListingError::Other);
  EXPECT_EQ(fileSystem.subFoldersOf(tmp / "file.csv").error, ListingError::Other);
}

TEST(PosixFileSystemTest, FileCanBeOpenedOnlyForRegularFiles) {
  const TemporaryFolder tmp;
  tmp.makeFile("plain.csv");
  tmp.makeFile("readonly.csv", fs::perms(0444));
  tmp.makeFile("noaccess.csv", fs::perms(0000));
  tmp.makeFolder("folder.csv");
  tmp.makePipe("x.csv");
  tmp.makeLink("link.csv", "plain.csv");
  tmp.makeLink("dangling.csv", "missing.csv");
  tmp.makeFile("bad\xFF.csv");
  const PosixFileSystem fileSystem;
  EXPECT_TRUE(FileCanBeOpened(fileSystem, tmp / "plain.csv"));
  EXPECT_TRUE(FileCanBeOpened(fileSystem, tmp / "readonly.csv"));
  EXPECT_TRUE(FileCanBeOpened(fileSystem, tmp / "link.csv"));
  EXPECT_FALSE(FileCanBeOpened(fileSystem, tmp / "folder.csv"));
  EXPECT_FALSE(FileCanBeOpened(fileSystem, tmp / "x.csv"));  // must not block either
  EXPECT_FALSE(FileCanBeOpened(fileSystem, tmp / "dangling.csv"));
  EXPECT_FALSE(FileCanBeOpened(fileSystem, tmp / "missing.csv"));
  EXPECT_TRUE(FileCanBeOpened(fileSystem, tmp / "bad\xFF.csv"));
  // No access is asked for, so even a user who may not read it can open it.
  const auto asNobody = RunUnprivileged([&] {
    return std::vector<std::string>{
        FileCanBeOpened(PosixFileSystem(), tmp / "noaccess.csv") ? "opened" : "refused"};
  });
  EXPECT_THAT(asNobody, ElementsAre("opened"));

  EXPECT_FALSE(IsBadFileName(fileSystem, tmp / "plain.csv"));
  EXPECT_FALSE(IsBadFileName(fileSystem, tmp / "folder.csv"));
  EXPECT_TRUE(IsBadFileName(fileSystem, tmp / "missing.csv"));
  EXPECT_FALSE(IsBadFileName(fileSystem, tmp / "bad\xFF.csv"));
}

TEST(PosixGatherTest, TakesHiddenFoldersAndSkipsWhatCannotBeUsed) {
  const TemporaryFolder tmp;
  tmp.makeFile("B.csv");
  tmp.makeFile("a.CSV");
  tmp.makeFile("~lock.csv");
  tmp.makeFile(".hidden.csv");                     // 34: left out
  tmp.makeFile(".hiddenro.csv", fs::perms(0444));  // 35: taken
  tmp.makeFile("notes.txt");
  tmp.makePipe("x.csv");
  tmp.makeLink("link.csv", "B.csv");
  tmp.makeLink("dangling.csv", "missing.csv");
  tmp.makeFile("bad\xFF.csv");
  tmp.makeFolder("sub\xFF");
  tmp.makeFile("sub\xFF/in.csv");
  tmp.makeFolder(".hid");
  tmp.makeFile(".hid/h.csv");
  tmp.makeFolder(
      "dash\xE2\x80\x93"
      "folder");
  tmp.makeFile(
      "dash\xE2\x80\x93"
      "folder/d.csv");
  tmp.makeFolder("q?x");
  tmp.makeFile("q?x/q.csv");
  const PosixFileSystem fileSystem;
  const std::string root = tmp.path();
  EXPECT_THAT(GatherFolderFiles(fileSystem, root),
              ElementsAre(root + "/.hiddenro.csv", root + "/a.CSV", root + "/B.csv",
                          root + "/bad\xFF.csv", root + "/link.csv", root + "/.hid/h.csv",
                          root + "/dash\xE2\x80\x93"
                                 "folder/d.csv",
                          root + "/sub\xFF/in.csv"));
}

TEST(PosixGatherTest, SymbolicLinkCyclesEnd) {
  const TemporaryFolder tmp;
  tmp.makeFile("root/a.csv");
  tmp.makeFile("outside.csv");
  tmp.makeFolder("root/sub/deep");
  tmp.makeFile("root/sub/b.csv");
  tmp.makeLink("root/sub/loop", "..");           // to its parent
  tmp.makeLink("root/sub/self", ".");            // to itself
  tmp.makeLink("root/sub/deep/up", "../..");     // to the starting folder
  tmp.makeLink("root/back", tmp / "root");       // absolute, to the starting folder
  tmp.makeLink("root/sub/deep/x", "../../sub");  // to a folder already reached
  const PosixFileSystem fileSystem;
  const std::string root = tmp / "root";
  EXPECT_THAT(GatherFolderFiles(fileSystem, root),
              ElementsAre(root + "/a.csv", root + "/sub/b.csv"));
  std::vector<std::string> folders{root + "/"};
  CollectSubFolders(fileSystem, folders, true);
  EXPECT_THAT(folders, ElementsAre(root + "/", root + "/sub/", root + "/sub/deep/"));
}

TEST(PosixGatherTest, ALinkToAParentOfTheStartIsWalkedOnce) {
  const TemporaryFolder tmp;
  tmp.makeFile("root/a.csv");
  tmp.makeFile("outside.csv");
  tmp.makeLink("root/parent", "..");
  const PosixFileSystem fileSystem;
  const std::string root = tmp / "root";
  // The parent is a folder of its own that the walk has not entered yet; the
  // starting folder inside it is not entered a second time.
  EXPECT_THAT(GatherFolderFiles(fileSystem, root),
              ElementsAre(root + "/a.csv", root + "/parent/outside.csv"));
}

TEST(PosixGatherTest, PassesOverFoldersThatMayNotBeListed) {
  const TemporaryFolder tmp;
  tmp.makeFile("root/a.csv");
  tmp.makeFile("root/locked1/z.csv");
  tmp.makeFolder("root/locked1/below");
  tmp.makeFile("root/locked2/y.csv");
  tmp.makeFile("root/open/o.csv");
  tmp.makeFile("root/open/deeper/p.csv");
  fs::permissions(tmp / "root/locked1", fs::perms::none);
  fs::permissions(tmp / "root/locked2", fs::perms::none);
  const std::string root = tmp / "root";
  const auto entries = RunUnprivileged([&] {
    const PosixFileSystem fileSystem;
    std::vector<std::string> lines = GatherFolderFiles(fileSystem, root);
    std::vector<std::string> folders{root + "/"};
    CollectSubFolders(fileSystem, folders, true);
    lines.insert(lines.end(), folders.begin(), folders.end());
    return lines;
  });
  EXPECT_THAT(entries,
              ElementsAre(root + "/a.csv", root + "/open/o.csv", root + "/open/deeper/p.csv",
                          root + "/", root + "/open/", root + "/open/deeper/"));
}

TEST(PosixGatherTest, AStartingFolderThatMayNotBeListedGivesNothing) {
  const TemporaryFolder tmp;
  tmp.makeFile("locked/a.csv");
  fs::permissions(tmp / "locked", fs::perms::none);
  const std::string locked = tmp / "locked";
  const auto entries = RunUnprivileged([&] {
    const PosixFileSystem fileSystem;
    std::vector<std::string> folders{locked + "/"};
    CollectSubFolders(fileSystem, folders, true);
    std::vector<std::string> lines = GatherFolderFiles(fileSystem, locked);
    lines.push_back("folders: " + std::to_string(folders.size()));
    return lines;
  });
  EXPECT_THAT(entries, ElementsAre("folders: 0"));
}

}  // namespace
}  // namespace rowvane
