// Templates, schemas, reports and standard output that are not what they
// seem, through the built rowvane-cli: each is refused with a reason, never
// blocks, and never passes for success.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/cli/ProgramRun.h"
#include "tests/support/TempDir.h"

namespace rowvane::cli::testing {
namespace {

using rowvane::testing::TempDir;
using ::testing::HasSubstr;
using ::testing::Not;

const std::string kCsv = "id,name\r\n1,ann\r\n";
const std::string kSchema =
    "<?xml version=\"1.0\"?>\n<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">\n"
    " <xs:include schemaLocation=\"part.xsd\"/>\n"
    " <xs:element name=\"XML\"/>\n</xs:schema>\n";

// What stands where the layout file is named.
enum class Kind { Empty, DevNull, Fifo, Folder, Huge };

struct FileKindCase {
  const char* name;
  Kind kind;
  std::vector<std::string> options;  // {F} stands for the file's path
  std::string err;                   // a part of standard error
};

void PrintTo(const FileKindCase& row, std::ostream* out) {
  *out << row.name;
}

std::string Placed(Kind kind, const TempDir& temp, const std::string& name) {
  const std::string path = temp / name;
  switch (kind) {
    case Kind::Empty:
      temp.write(name, "");
      break;
    case Kind::DevNull:
      return "/dev/null";
    case Kind::Fifo:
      EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
      break;
    case Kind::Folder:
      temp.makeFolder(name);
      break;
    case Kind::Huge:
      // Sparse: a size past every cap without the disk it would take.
      std::ofstream(path, std::ios::binary).close();
      std::filesystem::resize_file(path, std::uint64_t{17} << 20);
      break;
  }
  return path;
}

class FileKinds : public ::testing::TestWithParam<FileKindCase> {};

// Every row must end (a FIFO must not hold the run) with a usage error that
// says what is wrong with the file, and write nothing.
TEST_P(FileKinds, AreRefusedWithoutWaiting) {
  const FileKindCase& row = GetParam();
  const TempDir temp;
  const std::string input = temp.write("in/x.csv", kCsv);
  const std::string out = temp.makeFolder("out");
  temp.write("s.xsd", kSchema);
  const bool included = row.options.front() == "--schema" && row.options[1] == "{I}";
  const std::string file = Placed(row.kind, temp, included ? "part.xsd" : "layout-file");
  std::vector<std::string> args;
  for (const std::string& option : row.options) {
    args.push_back(option == "{F}" ? file : option == "{I}" ? temp / "s.xsd" : option);
  }
  args.insert(args.end(), {"-o", out, input});
  const ProgramResult result = RunProgram(ROWVANE_CLI_PATH, args);
  EXPECT_EQ(result.exitCode, 2) << result.err;
  EXPECT_THAT(result.err, HasSubstr(row.err));
  EXPECT_TRUE(std::filesystem::is_empty(out));
}

INSTANTIATE_TEST_SUITE_P(
    Cli, FileKinds,
    ::testing::Values(
        FileKindCase{
            "EmptyTemplate", Kind::Empty, {"--template", "{F}"}, ":1:1: the template is empty"},
        FileKindCase{"DevNullTemplate",
                     Kind::DevNull,
                     {"--template", "{F}"},
                     "cannot read the template: not a regular file"},
        FileKindCase{"FifoTemplate",
                     Kind::Fifo,
                     {"--template", "{F}"},
                     "cannot read the template: not a regular file"},
        FileKindCase{"FolderTemplate",
                     Kind::Folder,
                     {"--template", "{F}"},
                     "cannot read the template: Is a directory"},
        FileKindCase{"HugeTemplate",
                     Kind::Huge,
                     {"--template", "{F}"},
                     ":1:1: the template is larger than 1 MiB"},
        FileKindCase{"FifoSchema", Kind::Fifo, {"--schema", "{F}"}, "not a regular file"},
        FileKindCase{"DevNullSchema", Kind::DevNull, {"--schema", "{F}"}, "not a regular file"},
        FileKindCase{"HugeSchema", Kind::Huge, {"--schema", "{F}"}, "larger than 16 MiB"},
        FileKindCase{
            "IncludedFifo", Kind::Fifo, {"--schema", "{I}"}, "part.xsd': not a regular file"},
        FileKindCase{
            "IncludedHuge", Kind::Huge, {"--schema", "{I}"}, "part.xsd': larger than 16 MiB"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// --print-schema and --print-template refuse the same files the same way.
TEST(HostileFiles, PrintingRefusesAnEmptyTemplate) {
  const TempDir temp;
  const std::string input = temp.write("x.csv", kCsv);
  const std::string layout = temp.write("t.xml", "");
  const ProgramResult result =
      RunProgram(ROWVANE_CLI_PATH, {"--print-schema", input, "--template", layout});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_THAT(result.err, HasSubstr("t.xml:1:1: the template is empty"));
}

// What is written to standard output and lost there is an error, never a success.
struct LostOutputCase {
  const char* name;
  std::vector<std::string> args;  // {X} stands for the input, {O} for a folder
};

void PrintTo(const LostOutputCase& row, std::ostream* out) {
  *out << row.name;
}

class LostOutput : public ::testing::TestWithParam<LostOutputCase> {};

TEST_P(LostOutput, ToAFullDiskFails) {
  const TempDir temp;
  const std::string input = temp.write("x.csv", kCsv);
  const std::string folder = temp.makeFolder("out");
  std::vector<std::string> args;
  for (const std::string& arg : GetParam().args) {
    args.push_back(arg == "{X}" ? input : arg == "{O}" ? folder : arg);
  }
  Streams full;
  full.appendOutputTo = "/dev/full";
  const ProgramResult lost = RunProgram(ROWVANE_CLI_PATH, args, full);
  EXPECT_EQ(lost.exitCode, 1);
  EXPECT_THAT(lost.err, HasSubstr("standard output: cannot write: No space left on device"));
  const ProgramResult kept = RunProgram(ROWVANE_CLI_PATH, args);
  EXPECT_EQ(kept.exitCode, 0) << kept.err;
  EXPECT_FALSE(kept.out.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cli, LostOutput,
    ::testing::Values(LostOutputCase{"PrintTemplate", {"--print-template", "{X}"}},
                      LostOutputCase{"PrintSchema", {"--print-schema", "{X}"}},
                      LostOutputCase{"DryRun", {"--dry-run", "-o", "{O}", "{X}"}},
                      LostOutputCase{"Version", {"--version"}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// A report named through a link that does not lead anywhere yet, but to a
// file the run would write: the output must not replace the report, nor the
// report the output.
TEST(HostileFiles, ReportThroughADanglingLinkToAnOutputIsRefused) {
  const TempDir temp;
  const std::string input = temp.write("in/x.csv", kCsv);
  const std::string out = temp.makeFolder("out");
  const std::string report = temp / "report.jsonl";
  ASSERT_EQ(::symlink((temp / "out/x.xml").c_str(), report.c_str()), 0);
  const ProgramResult result = RunProgram(ROWVANE_CLI_PATH, {"--report", report, "-o", out, input});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_THAT(result.err, HasSubstr("is an output of this run"));
  EXPECT_FALSE(std::filesystem::exists(temp / "out/x.xml"));
}

// -O - with the encoding found from the input: the output streams out, the
// same bytes as into a file, in UTF-8 and in Windows-1252 alike, and no
// temporary file is made to hold it aside.
TEST(HostileFiles, StreamedOutputSettlesTheEncodingFirst) {
  const TempDir temp;
  for (const std::string& name : {std::string("Zo\xC3\xAB"), std::string("Zo\xEB")}) {
    std::string csv = "id,name\r\n";
    for (int row = 0; row < 200; ++row) {
      csv += std::to_string(row) + "," + name + "\r\n";
    }
    const std::string input = temp.write("x.csv", csv);
    const std::string trace = temp / "trace.log";
    Streams traced;
    // LeakSanitizer (in sanitizer builds) cannot work under ptrace.
    traced.environment = {"ASAN_OPTIONS=detect_leaks=0"};
    const ProgramResult streamed = RunProgram("/usr/bin/strace",
                                              {"-f", "-qq", "-e", "trace=open,openat", "-o", trace,
                                               "--", ROWVANE_CLI_PATH, "-O", "-", input},
                                              traced);
    EXPECT_THAT(rowvane::testing::ReadFile(trace), Not(HasSubstr("O_TMPFILE")));
    const ProgramResult filed = RunProgram(ROWVANE_CLI_PATH, {"-O", temp / "x.xml", input});
    EXPECT_EQ(streamed.exitCode, 0) << streamed.err;
    EXPECT_EQ(filed.exitCode, 0) << filed.err;
    EXPECT_GT(streamed.out.size(), 2 * csv.size());
    EXPECT_TRUE(streamed.out == rowvane::testing::ReadFile(temp / "x.xml"));
    EXPECT_THAT(streamed.out, HasSubstr("Zo\xC3\xAB"));
  }
}

}  // namespace
}  // namespace rowvane::cli::testing
