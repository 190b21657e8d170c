#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "engine/batch/CsvToXml.h"
#include "engine/batch/FileConverter.h"
#include "engine/core/Failure.h"
#include "engine/io/InputFile.h"
#include "tests/support/TempDir.h"

namespace rowvane {
namespace {

using testing::TempDir;

constexpr rlim_t kMiB = rlim_t{1} << 20;

/// Keeps the size of the output and its first bytes only.
class CountingSink : public OutputSink {
 public:
  void write(const char* data, std::size_t size) override {
    if (m_head.size() < 64) {
      m_head.append(data, std::min(size, 64 - m_head.size()));
    }
    m_size += size;
  }
  void discard() override {
    m_head.clear();
    m_size = 0;
  }
  std::uint64_t size() const { return m_size; }
  const std::string& head() const { return m_head; }

 private:
  std::string m_head;
  std::uint64_t m_size = 0;
};

/// Runs `check` in a child whose address space is capped at `cap` bytes;
/// gives the child's exit status: 0 when `check` held, 1 when it did not, 2
/// when an exception escaped.
// The address sanitizer reserves terabytes of shadow memory up front, so no
// address-space cap leaves it room to run: these checks are for plain builds.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSpaceCapsWork = false;
#else
constexpr bool kAddressSpaceCapsWork = true;
#endif

int InChildWithMemoryCap(rlim_t cap, const std::function<bool()>& check) {
  const pid_t child = ::fork();
  if (child == 0) {
    const rlimit limit{cap, cap};
    ::setrlimit(RLIMIT_AS, &limit);
    int status = 2;
    try {
      status = check() ? 0 : 1;
    } catch (...) {
    }
    ::_exit(status);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/// Writes `count` numbered names of `digits` digits, comma-separated.
void WriteNames(std::ofstream& out, std::size_t count, int digits) {
  std::string name(static_cast<std::size_t>(digits), '0');
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t n = i;
    for (int d = digits - 1; d >= 0; --d, n /= 10) {
      name[static_cast<std::size_t>(d)] = static_cast<char>('0' + n % 10);
    }
    out << (i == 0 ? "" : ",") << name;
  }
}

TEST(HeaderMemory, PeakStaysWithin64MiBAndTwiceTheHeaderLine) {
  if (!kAddressSpaceCapsWork) {
    GTEST_SKIP() << "an address-space cap leaves the address sanitizer no room";
  }
  // A file whose lines end in LF alone is one line: with a header row, the
  // whole file is the header and no record follows.
  TempDir folder;
  const std::string lfOnly = folder / "lf-only.csv";
  {
    std::ofstream out(lfOnly, std::ios::binary);
    out << "id,name,city\n";
    for (int row = 0; row < 1000000; ++row) {
      out << row << ",Ann,north\n";  // about 20 MB
    }
  }
  // A million short names, and one record that takes only the first field.
  constexpr std::size_t kNames = 1000000;
  const std::string manyNames = folder / "many-names.csv";
  {
    std::ofstream out(manyNames, std::ios::binary);
    WriteNames(out, kNames, 6);
    out << "\r\nx";
  }
  struct Case {
    std::string path;
    std::string expectedHead;
    std::uint64_t expectedSize;
  };
  const std::uint64_t manyNamesOutput = 7 + 8 + kNames * (3 + 6 + 1 + 2 + 6 + 3) + 1 + 9 + 6;
  const Case cases[] = {
      {lfOnly, "<XML>\r\n</XML>", 13},
      {manyNames, "<XML>\r\n <row>\r\n  <000000>x</000000>\r\n  <000001></000001>",
       manyNamesOutput},
  };
  for (const Case& c : cases) {
    const rlim_t headerSize = std::filesystem::file_size(c.path);
    const int status = InChildWithMemoryCap(64 * kMiB + 2 * headerSize, [&c] {
      InputFile input(c.path);
      CountingSink sink;
      ConversionObserver observer;
      ConvertCsvToXml(input, sink, ConversionSettings{}, observer);
      return sink.size() == c.expectedSize && sink.head().starts_with(c.expectedHead);
    });
    EXPECT_EQ(status, 0) << c.path;
  }
}

TEST(HeaderMemory, RunningOutOfMemoryNamesTheHeaderLine) {
  if (!kAddressSpaceCapsWork) {
    GTEST_SKIP() << "an address-space cap leaves the address sanitizer no room";
  }
  TempDir folder;
  TempDir output;
  constexpr std::size_t kHeaderSize = 40000000;
  const std::string path = folder / "wide.csv";
  {
    std::ofstream out(path, std::ios::binary);
    const std::string block(1000, 'a');
    for (std::size_t written = 0; written < kHeaderSize; written += block.size()) {
      out << block;
    }
    out << "\r\nx\r\n";
  }
  // Room for the program and a conversion, not for the header line.
  rlim_t inUse = 0;
  std::ifstream("/proc/self/statm") >> inUse;
  inUse *= static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
  const int status = InChildWithMemoryCap(inUse + 24 * kMiB, [&] {
    ConversionObserver observer;
    const FileOutcome outcome =
        ConvertFile(path, output.path().string(), ConversionSettings{}, observer);
    return outcome.status == FileOutcome::Status::Failed &&
           outcome.failures ==
               std::vector<Failure>{{FailureKind::OutOfMemory,
                                     "not enough memory for a header line of 40000000 bytes"}};
  });
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(output.entries().empty());
}

}  // namespace
}  // namespace rowvane
