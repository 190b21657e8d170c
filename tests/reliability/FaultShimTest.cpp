// The suite's verdicts are only as good as its faults: these tests check that
// the shim fails exactly the calls a plan names, and nothing else.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <array>
#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "tests/reliability/FaultPlan.h"

namespace rowvane::reliability {
namespace {

class FaultShimTest : public ::testing::Test {
 protected:
  void TearDown() override { rowvane_faults_configure(""); }

  std::string path(const char* name) const { return m_folder.filePath(name).toStdString(); }

  static void plan(const std::string& text) {
    ASSERT_EQ(rowvane_faults_configure(text.c_str()), 0);
  }

  int create(const char* name) const {
    return ::open(path(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  }

  static off_t sizeOf(const std::string& file) {
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 ? info.st_size : -1;
  }

  void makeFile(const char* name, std::size_t size) const {
    const std::string bytes(size, 'x');
    const int fd = create(name);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
  }

 private:
  QTemporaryDir m_folder;
};

TEST_F(FaultShimTest, WriteHoldingTheOffsetIsCutShortAndTheNextOneFails) {
  plan("call=write,end=/victim.bin,offset=10,error=ENOSPC");
  const int fd = create("victim.bin");
  ASSERT_GE(fd, 0);
  const std::array<char, 16> bytes{};
  EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), 10);
  errno = 0;
  EXPECT_EQ(::write(fd, bytes.data(), 6), -1);
  EXPECT_EQ(errno, ENOSPC);
  ::close(fd);
  EXPECT_EQ(sizeOf(path("victim.bin")), 10);
  EXPECT_EQ(rowvane_faults_injected(), 1u);
}

TEST_F(FaultShimTest, OffsetZeroFailsTheFirstWriteAndOtherFilesAreLeftAlone) {
  plan("call=write,end=/victim.bin,offset=0,error=EIO");
  const int other = create("other.bin");
  const int victim = create("victim.bin");
  EXPECT_EQ(::write(other, "abc", 3), 3);
  EXPECT_EQ(::write(victim, "abc", 3), -1);
  EXPECT_EQ(errno, EIO);
  ::close(other);
  ::close(victim);
  EXPECT_EQ(sizeOf(path("victim.bin")), 0);
}

TEST_F(FaultShimTest, SkipLetsEarlierFilesPassTheOffsetAndTimesLimitsTheFailures) {
  plan("call=write,path=/f,offset=2,skip=1,times=1");
  std::array<int, 3> results{};
  for (std::size_t i = 0; i < results.size(); ++i) {
    const int fd = create(("f" + std::to_string(i)).c_str());
    results[i] = static_cast<int>(::write(fd, "12345", 5));
    if (results[i] == 2) {
      results[i] = static_cast<int>(::write(fd, "345", 3));
    }
    ::close(fd);
  }
  EXPECT_EQ(results, (std::array<int, 3>{5, -1, 5}));
}

TEST_F(FaultShimTest, ReadHoldingTheOffsetIsCutShortAndTheNextOneFails) {
  makeFile("input.csv", 100);
  plan("call=read,end=/input.csv,offset=40");
  const int fd = ::open(path("input.csv").c_str(), O_RDONLY | O_CLOEXEC);
  std::array<char, 64> buffer{};
  EXPECT_EQ(::read(fd, buffer.data(), 32), 32);
  EXPECT_EQ(::read(fd, buffer.data(), 32), 8);
  EXPECT_EQ(::read(fd, buffer.data(), 32), -1);
  EXPECT_EQ(errno, EIO);
  ::close(fd);
}

TEST_F(FaultShimTest, FsyncFailsOnlyForTheNamedFile) {
  plan("call=fsync,end=/victim.bin,times=0");
  const int other = create("other.bin");
  const int victim = create("victim.bin");
  EXPECT_EQ(::fsync(other), 0);
  EXPECT_EQ(::fsync(victim), -1);
  EXPECT_EQ(::fdatasync(victim), -1);
  ::close(other);
  ::close(victim);
  EXPECT_EQ(rowvane_faults_injected(), 2u);
}

TEST_F(FaultShimTest, RenameFailsWhenEitherPathMatchesAndMovesNothing) {
  makeFile("a.tmp", 1);
  makeFile("b.tmp", 1);
  plan("call=rename,end=/target.xml,times=0,error=EIO");
  EXPECT_EQ(std::rename(path("a.tmp").c_str(), path("target.xml").c_str()), -1);
  EXPECT_EQ(errno, EIO);
  EXPECT_EQ(sizeOf(path("a.tmp")), 1);
  EXPECT_EQ(std::rename(path("b.tmp").c_str(), path("other.xml").c_str()), 0);
}

TEST_F(FaultShimTest, OpenFailsWithTheNamedError) {
  plan("call=open,path=/.rowvane-,error=EMFILE");
  errno = 0;
  EXPECT_EQ(create(".rowvane-abc.tmp"), -1);
  EXPECT_EQ(errno, EMFILE);
  const int fd = create(".rowvane-def.tmp");  // times=1: the next one opens
  EXPECT_GE(fd, 0);
  ::close(fd);
}

TEST_F(FaultShimTest, RemoveActionTakesAFolderAwayAndLetsTheCallGoOn) {
  ASSERT_EQ(::mkdir(path("out").c_str(), 0755), 0);
  makeFile("out/old.xml", 3);
  makeFile("input.csv", 3);
  plan("call=open,end=/input.csv,remove=" + path("out"));
  const int fd = ::open(path("input.csv").c_str(), O_RDONLY | O_CLOEXEC);
  EXPECT_GE(fd, 0);
  ::close(fd);
  struct stat info {};
  EXPECT_NE(::stat(path("out").c_str(), &info), 0);
  EXPECT_EQ(rowvane_faults_injected(), 1u);
}

TEST_F(FaultShimTest, FailingCloseStillReleasesTheDescriptor) {
  plan("call=close,end=/victim.bin");
  const int fd = create("victim.bin");
  EXPECT_EQ(::close(fd), -1);
  EXPECT_EQ(errno, EIO);
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
}

TEST(FaultPlanTest, ReadsEveryField) {
  const auto rules = ParseFaultPlan(
      "call=write,path=/.rowvane-,offset=4096,error=ENOSPC,skip=2,times=0;"
      "call=open,end=/c.csv,remove=/tmp/out");
  ASSERT_EQ(rules.size(), 2u);
  EXPECT_EQ(rules[0].call, FaultCall::Write);
  EXPECT_EQ(rules[0].pathPart, "/.rowvane-");
  EXPECT_EQ(rules[0].offset, 4096u);
  EXPECT_EQ(rules[0].error, ENOSPC);
  EXPECT_EQ(rules[0].skip, 2u);
  EXPECT_EQ(rules[0].times, 0u);
  EXPECT_EQ(rules[1].call, FaultCall::Open);
  EXPECT_EQ(rules[1].pathEnd, "/c.csv");
  EXPECT_EQ(rules[1].removePath, "/tmp/out");
  EXPECT_TRUE(rules[1].matches("/in/c.csv"));
  EXPECT_FALSE(rules[1].matches("/in/c.csv.bak"));
}

class MalformedPlanTest : public ::testing::TestWithParam<const char*> {};

TEST_P(MalformedPlanTest, IsRefused) {
  EXPECT_THROW(ParseFaultPlan(GetParam()), std::invalid_argument);
  EXPECT_EQ(rowvane_faults_configure(GetParam()), -1);
  rowvane_faults_configure("");
}

INSTANTIATE_TEST_SUITE_P(Plans, MalformedPlanTest,
                         ::testing::Values("path=/x", "call=unlink", "call=write,offset=x",
                                           "call=fsync,offset=3", "call=write,error=EWHAT",
                                           "call=write,colour=red", "call=write,path"));

}  // namespace
}  // namespace rowvane::reliability
