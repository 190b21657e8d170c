// Runs the built rowvane-cli on files in a temporary folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "tests/cli/ProgramRun.h"
#include "tests/support/TempDir.h"

namespace rowvane::cli::testing {
namespace {

using rowvane::testing::ReadFile;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const std::string kStaffCsv = "id,name\r\n7,Ann\r\n8,Bob";
const std::string kStaffXml =
    "<XML>\r\n <row>\r\n  <id>7</id>\r\n  <name>Ann</name>\r\n </row>\r\n"
    " <row>\r\n  <id>8</id>\r\n  <name>Bob</name>\r\n </row>\r\n</XML>";
// Address space caps (bytes) from tight to roomy for a -j 16 run of small files.
// From the roomier caps on, every file of the batch must convert.
constexpr struct {
  const char* bytes;
  bool roomForEveryFile;
} kMemoryCaps[] = {
    {"20000000", false}, {"60000000", false}, {"100000000", false}, {"200000000", true}};

class CliBinaryTest : public ::testing::Test {
 protected:
  ProgramResult run(std::vector<std::string> args,
                    ErrorStream errorStream = ErrorStream::File) const {
    return RunProgram(ROWVANE_CLI_PATH, args, errorStream);
  }
  std::string output(const std::string& name) const { return ReadFile(m_out / name); }
  std::vector<std::string> outputNames() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_out)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  rowvane::testing::TempDir m_temp;
  std::filesystem::path m_out = m_temp.makeFolder("out");
  std::string m_staff = m_temp.write("in/staff.csv", kStaffCsv);
};

TEST_F(CliBinaryTest, WorkedExampleByteForByte) {
  const ProgramResult result = run({"-o", m_out.string(), m_staff});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(output("staff.xml"), kStaffXml);
  EXPECT_THAT(result.out, IsEmpty());
  // Standard error is a file here, not a terminal: no progress display.
  EXPECT_THAT(result.err, IsEmpty());
}

TEST_F(CliBinaryTest, OutputFolderWithTrailingSeparatorIsAccepted) {
  const ProgramResult result = run({m_staff, "--output", m_out.string() + "/"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(output("staff.xml"), kStaffXml);
}

TEST_F(CliBinaryTest, RecursiveGathersCsvFilesOfAFolderTree) {
  m_temp.write("tree/a.csv", kStaffCsv);
  m_temp.write("tree/sub/deeper/b.CSV", kStaffCsv);
  m_temp.write("tree/.hidden/c.csv", kStaffCsv);  // a hidden folder is walked
  m_temp.write("tree/.d.csv", kStaffCsv);         // a hidden file is not taken
  m_temp.write("tree/notes.txt", kStaffCsv);
  m_temp.write("tree/~lock.csv", kStaffCsv);
  const std::string tree = (m_temp.path() / "tree").string();

  const ProgramResult refused = run({"-o", m_out.string(), tree, m_staff});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_THAT(refused.err, HasSubstr(tree + ": is a folder; use -r"));
  EXPECT_EQ(outputNames(), std::vector<std::string>({"staff.xml"}));

  const ProgramResult result = run({"-r", "-o", m_out.string(), tree + "/"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(outputNames(), std::vector<std::string>({"a.xml", "b.xml", "c.xml", "staff.xml"}));
  EXPECT_EQ(output("b.xml"), kStaffXml);
}

struct OptionCase {
  const char* name;
  std::vector<std::string> options;
  std::string csv;
  std::string xml;
};

void PrintTo(const OptionCase& row, std::ostream* out) {
  *out << row.name;
}

class CliOptionTest : public CliBinaryTest, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(CliOptionTest, GivesExactOutput) {
  const OptionCase& row = GetParam();
  const std::string input = m_temp.write("in/data.csv", row.csv);
  std::vector<std::string> args = row.options;
  args.insert(args.end(), {"-o", m_out.string(), input});
  const ProgramResult result = run(args);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(output("data.xml"), row.xml);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, CliOptionTest,
    ::testing::Values(
        OptionCase{"Defaults", {}, kStaffCsv, kStaffXml},
        OptionCase{"NoHeaderNoRowTags",
                   {"--no-header", "--no-row-tags"},
                   kStaffCsv,
                   "<XML>\r\n <header1>id</header1>\r\n <header2>name</header2>\r\n"
                   " <header1>7</header1>\r\n <header2>Ann</header2>\r\n"
                   " <header1>8</header1>\r\n <header2>Bob</header2>\r\n</XML>"},
        OptionCase{"NoHeader",
                   {"--no-header"},
                   "a,b",
                   "<XML>\r\n <row>\r\n  <header1>a</header1>\r\n  <header2>b</header2>\r\n"
                   " </row>\r\n</XML>"},
        OptionCase{"NoRowTags",
                   {"--no-row-tags"},
                   kStaffCsv,
                   "<XML>\r\n <id>7</id>\r\n <name>Ann</name>\r\n <id>8</id>\r\n"
                   " <name>Bob</name>\r\n</XML>"},
        OptionCase{"Tags",
                   {"--document-tag", "staff", "--row-tag=person"},
                   "id\r\n7",
                   "<staff>\r\n <person>\r\n  <id>7</id>\r\n </person>\r\n</staff>"},
        OptionCase{"EmptyTags",
                   {"--document-tag", "", "--row-tag="},
                   "id,n\r\n7,A",
                   "<>\r\n <>\r\n  <id>7</id>\r\n  <n>A</n>\r\n </>\r\n</>"},
        OptionCase{"Semicolon",
                   {"-s", ";"},
                   "a;b\r\n1,5;2",
                   "<XML>\r\n <row>\r\n  <a>1,5</a>\r\n  <b>2</b>\r\n </row>\r\n</XML>"},
        OptionCase{"EmptySeparatorKeepsLinesWhole",
                   {"-s", ""},
                   "id,name\r\n7,Ann",
                   "<XML>\r\n <row>\r\n  <id,name>7,Ann</id,name>\r\n </row>\r\n</XML>"},
        OptionCase{"EmptySeparatorWithEquals",
                   {"--separator="},
                   "id,name\r\n7,Ann",
                   "<XML>\r\n <row>\r\n  <id,name>7,Ann</id,name>\r\n </row>\r\n</XML>"},
        OptionCase{"Dash",
                   {"-s", "-"},
                   "a-b\r\n1-2",
                   "<XML>\r\n <row>\r\n  <a>1</a>\r\n  <b>2</b>\r\n </row>\r\n</XML>"},
        OptionCase{"DashWithEquals",
                   {"--separator=-"},
                   "a-b\r\n1-2",
                   "<XML>\r\n <row>\r\n  <a>1</a>\r\n  <b>2</b>\r\n </row>\r\n</XML>"},
        OptionCase{"DoubleDash",
                   {"-s", "--"},
                   "a--b\r\n1-2--3",
                   "<XML>\r\n <row>\r\n  <a>1-2</a>\r\n  <b>3</b>\r\n </row>\r\n</XML>"},
        OptionCase{"TwoCharacters",
                   {"--separator", "; "},
                   "a; b\r\n1; 2;3",
                   "<XML>\r\n <row>\r\n  <a>1</a>\r\n  <b>2;3</b>\r\n </row>\r\n</XML>"},
        OptionCase{"Jobs", {"-j", "1", "-q"}, kStaffCsv, kStaffXml},
        OptionCase{"StandardFormat",
                   {"--format", "standard"},
                   "id,note\n7,\"a, \"\"b\"\" & c\"\n",
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<XML>\r\n <row>\r\n"
                   "  <id>7</id>\r\n  <note>a, \"b\" &amp; c</note>\r\n </row>\r\n</XML>"},
        OptionCase{"OneChoiceOnTopOfClassic",
                   {"--line-breaks", "any"},
                   "id\n\"7\"",
                   "<XML>\r\n <row>\r\n  <id>\"7\"</id>\r\n </row>\r\n</XML>"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct WarningCase {
  const char* name;
  std::vector<std::string> options;
  std::string csv;
  std::string warning;
};

void PrintTo(const WarningCase& row, std::ostream* out) {
  *out << row.name;
}

class CliWarningTest : public CliBinaryTest, public ::testing::WithParamInterface<WarningCase> {};

TEST_P(CliWarningTest, GoesToStandardErrorAndTheRunStillSucceeds) {
  const WarningCase& row = GetParam();
  const std::string input = m_temp.write("in/x.csv", row.csv);
  std::vector<std::string> args = row.options;
  args.insert(args.end(), {"-o", m_out.string(), input});
  const ProgramResult result = run(args);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "rowvane-cli: " + input + ": " + row.warning + "\n");
  EXPECT_EQ(outputNames(), std::vector<std::string>{"x.xml"});
}

INSTANTIATE_TEST_SUITE_P(
    Cli, CliWarningTest,
    ::testing::Values(
        WarningCase{"LineFeedsOnly",
                    {},
                    "a,b\n1,2\n",
                    "no CR LF line break, so the whole file is one line; --format standard reads "
                    "LF line breaks"},
        WarningCase{"UnterminatedQuote",
                    {"--format", "standard"},
                    "a\n1\n\"2\n3",
                    "unterminated quoted field from line 3"},
        WarningCase{"ReplacedCharacters",
                    {"--format", "standard"},
                    "a\n\x01\x02",
                    "2 characters that XML does not allow written as U+FFFD"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(CliBinaryTest, MissingInputIsReportedAndTheRestConverted) {
  const std::string missing = (m_temp.path() / "in" / "missing.csv").string();
  const ProgramResult result = run({"-o", m_out.string(), missing, m_staff});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, "rowvane-cli: " + missing + ": input file not found\n");
  EXPECT_EQ(outputNames(), std::vector<std::string>{"staff.xml"});
  EXPECT_EQ(output("staff.xml"), kStaffXml);
}

TEST_F(CliBinaryTest, MissingOutputFolderStopsBeforeAnything) {
  const struct {
    std::string folder;
    std::string reason;
  } cases[] = {
      {(m_temp.path() / "nowhere").string(), "No such file or directory"},
      {"", "No such file or directory"},
      {m_staff /* a file */, "Not a directory"},
      {(m_temp.path() / std::string(300, 'n')).string(), "File name too long"},
  };
  for (const auto& [folder, reason] : cases) {
    const ProgramResult result = run({"-o", folder, m_staff});
    EXPECT_EQ(result.exitCode, 2) << folder;
    EXPECT_EQ(result.err,
              "rowvane-cli: cannot use output folder '" + folder + "': " + reason + "\n");
  }
  EXPECT_FALSE(std::filesystem::exists(m_temp.path() / "nowhere"));
  EXPECT_THAT(outputNames(), IsEmpty());
}

TEST_F(CliBinaryTest, ClearsOnlyAbandonedTemporaryFilesThatAreNoInputs) {
  const std::string notes = m_temp.write("out/.rowvane-notes.tmp", "precious");
  const std::string input = m_temp.write("out/.rowvane-0a1b2c3d4e5f.tmp", kStaffCsv);
  m_temp.write("out/.rowvane-abandoned012.tmp", "half an output");
  const ProgramResult result = run({"-q", "-o", m_out.string(), input});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(outputNames(),
            (std::vector<std::string>{".rowvane-0a1b2c3d4e5f.tmp", ".rowvane-0a1b2c3d4e5f.xml",
                                      ".rowvane-notes.tmp"}));
  EXPECT_EQ(ReadFile(notes), "precious");
  EXPECT_EQ(ReadFile(input), kStaffCsv);
}

TEST_F(CliBinaryTest, ControlCharactersInNamesAreShownEscaped) {
  const std::string folder = (m_temp.path() / "in").string();
  const std::string forged = folder + "/missing\nrowvane-cli: all 3 files converted.csv";
  const std::string colour = folder + "/\x1b[31mred\\.csv";
  const std::string noDot = m_temp.write("in/tab\there", kStaffCsv);
  const ProgramResult result = run({"-j", "2", "-o", m_out.string(), forged, colour, noDot});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, "rowvane-cli: " + folder +
                            "/missing\\nrowvane-cli: all 3 files converted.csv: input file not "
                            "found\n"
                            "rowvane-cli: " +
                            folder + "/\\x1b[31mred\\\\.csv: input file not found\n" +
                            "rowvane-cli: " + folder +
                            "/tab\\there: the name has no dot; output named " + m_out.string() +
                            "/tab\\there.xml\n");
}

TEST_F(CliBinaryTest, NameWithoutDotIsAFailureButStillWritten) {
  const std::string input = m_temp.write("in/staff", kStaffCsv);
  const ProgramResult result = run({"-o", m_out.string(), input});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(output("staff.xml"), kStaffXml);
  EXPECT_EQ(result.err, "rowvane-cli: " + input + ": the name has no dot; output named " +
                            (m_out / "staff.xml").string() + "\n");
}

TEST_F(CliBinaryTest, WriteFailureIsReportedAndTheRunGoesOn) {
  // A folder standing where the output should go cannot be replaced by a file.
  std::filesystem::create_directory(m_out / "blocked.xml");
  const std::string blocked = m_temp.write("in/blocked.csv", kStaffCsv);
  const ProgramResult result = run({"-o", m_out.string(), blocked, m_staff});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_THAT(result.err, HasSubstr("rowvane-cli: " + blocked + ": cannot write "));
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  EXPECT_EQ(output("staff.xml"), kStaffXml);
}

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
};

void PrintTo(const UsageCase& row, std::ostream* out) {
  *out << row.name;
}

class CliUsageTest : public CliBinaryTest, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(CliUsageTest, ExitsWithTwoAndWritesNothing) {
  std::vector<std::string> args;
  for (const std::string& arg : GetParam().args) {
    // "OUT" and "IN" stand for the test's folders.
    args.push_back(arg == "OUT" ? m_out.string() : arg == "IN" ? m_staff : arg);
  }
  const ProgramResult result = run(args);
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_THAT(result.err, HasSubstr("--help"));
  EXPECT_THAT(result.out, IsEmpty());
  EXPECT_THAT(outputNames(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cli, CliUsageTest,
    ::testing::Values(UsageCase{"NoArguments", {}}, UsageCase{"NoOutput", {"IN"}},
                      UsageCase{"NoInput", {"-o", "OUT"}},
                      UsageCase{"UnknownOption", {"--fast", "-o", "OUT", "IN"}},
                      UsageCase{"ZeroJobs", {"-j", "0", "-o", "OUT", "IN"}},
                      UsageCase{"JobsNotANumber", {"-j", "x", "-o", "OUT", "IN"}},
                      UsageCase{"SeparatorWithoutValue", {"-o", "OUT", "IN", "-s"}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(CliBinaryTest, HelpAndVersionGoToStandardOutput) {
  const ProgramResult help = run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_THAT(help.out, HasSubstr("--separator"));
  EXPECT_THAT(help.err, IsEmpty());
  const ProgramResult version = run({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "rowvane-cli " ROWVANE_VERSION "\n");
}

// Inputs in different folders, and with different extensions, that all map to
// data.xml: whatever the number of jobs, the last one in the list wins.
class CliSameOutputTest : public CliBinaryTest,
                          public ::testing::WithParamInterface<const char*> {};

TEST_P(CliSameOutputTest, LaterInputWins) {
  std::vector<std::string> args{"-j", GetParam(), "-o", m_out.string()};
  std::string lastCsv;
  for (int i = 0; i < 12; ++i) {
    const std::string name = "in" + std::to_string(i) + (i % 2 == 0 ? "/data.csv" : "/data.txt");
    // Earlier files are larger, so they tend to finish later when run at once.
    lastCsv = "value\r\n" + std::to_string(i) +
              std::string(static_cast<std::size_t>(12 - i) * 20000, 'x');
    args.push_back(m_temp.write(name, lastCsv));
  }
  const ProgramResult result = run(args);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(outputNames(), std::vector<std::string>{"data.xml"});
  EXPECT_EQ(output("data.xml"), "<XML>\r\n <row>\r\n  <value>11" + std::string(20000, 'x') +
                                    "</value>\r\n </row>\r\n</XML>");
}

INSTANTIATE_TEST_SUITE_P(Cli, CliSameOutputTest, ::testing::Values("1", "4"));

TEST_F(CliBinaryTest, SameInputTwiceGivesOneOutput) {
  const ProgramResult result = run({"-j", "4", "-o", m_out.string(), m_staff, m_staff});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(output("staff.xml"), kStaffXml);
}

// Under a cap on its address space, with many workers, files may fail for
// want of memory and fewer threads may start, but the program never dies,
// leaves no temporary file, gives each file it did not convert one line, and
// exits 0 exactly when every output was written.
TEST_F(CliBinaryTest, MemoryCapWithManyWorkersNeverAbortsTheBatch) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer's shadow memory does not fit under any such cap";
#endif
  std::vector<std::string> inputs;
  std::vector<std::string> expected;
  for (int i = 0; i < 100; ++i) {
    const std::string id = std::to_string(i);
    inputs.push_back(m_temp.write("many/f" + id + ".csv", "id,name\r\n" + id + ",x\r\n"));
    expected.push_back("<XML>\r\n <row>\r\n  <id>" + id +
                       "</id>\r\n  <name>x</name>\r\n </row>\r\n</XML>");
  }
  for (const auto& [cap, roomForEveryFile] : kMemoryCaps) {
    for (const char* jobs : {"8", "16"}) {
      std::filesystem::remove_all(m_out);
      std::filesystem::create_directory(m_out);
      std::vector<std::string> args = {std::string("--as=") + cap,
                                       "--",
                                       ROWVANE_CLI_PATH,
                                       "-q",
                                       "-j",
                                       jobs,
                                       "-o",
                                       m_out.string()};
      args.insert(args.end(), inputs.begin(), inputs.end());
      const ProgramResult result = RunProgram("/usr/bin/prlimit", args);
      const std::string context = std::string("cap ") + cap + ", -j " + jobs + ": " + result.err;
      ASSERT_TRUE(result.exitCode == 0 || result.exitCode == 1) << result.exitCode << context;
      bool allConverted = true;
      for (std::size_t i = 0; i < inputs.size(); ++i) {
        const std::string name = "f" + std::to_string(i) + ".xml";
        const bool converted = std::filesystem::exists(m_out / name) && output(name) == expected[i];
        allConverted = allConverted && converted;
        const std::string line = "rowvane-cli: " + inputs[i] + ": ";
        std::size_t lines = 0;
        for (auto at = result.err.find(line); at != std::string::npos;
             at = result.err.find(line, at + 1)) {
          ++lines;
        }
        EXPECT_EQ(lines, converted ? 0U : 1U) << name << ", " << context;
      }
      EXPECT_EQ(result.exitCode, allConverted ? 0 : 1) << context;
      // Threads too many for the memory must not starve the conversions.
      EXPECT_TRUE(allConverted || !roomForEveryFile) << context;
      for (const std::string& name : outputNames()) {
        EXPECT_FALSE(name.starts_with(".rowvane-")) << name << ", " << context;
      }
    }
  }
}

TEST_F(CliBinaryTest, ProgressIsShownOnlyOnATerminalAndNotWhenQuiet) {
  const ProgramResult shown = run({"-o", m_out.string(), m_staff}, ErrorStream::Terminal);
  EXPECT_EQ(shown.exitCode, 0);
  EXPECT_THAT(shown.err, HasSubstr("1/1 files"));
  const ProgramResult quiet = run({"-q", "-o", m_out.string(), m_staff}, ErrorStream::Terminal);
  EXPECT_EQ(quiet.exitCode, 0);
  EXPECT_THAT(quiet.err, IsEmpty());
  const ProgramResult notTerminal = run({"-o", m_out.string(), m_staff}, ErrorStream::File);
  EXPECT_EQ(notTerminal.exitCode, 0);
  EXPECT_THAT(notTerminal.err, IsEmpty());
}

TEST_F(CliBinaryTest, ProblemLineOnATerminalStandsOnItsOwnLine) {
  const std::string missing = (m_temp.path() / "missing.csv").string();
  const ProgramResult result =
      run({"-j", "1", "-o", m_out.string(), m_staff, missing}, ErrorStream::Terminal);
  EXPECT_EQ(result.exitCode, 1);
  // The terminal turns each line feed into CR LF.
  EXPECT_THAT(result.err, HasSubstr("\rrowvane-cli: " + missing + ": input file not found\r\n"));
  EXPECT_THAT(result.err, HasSubstr("2/2 files"));
}

}  // namespace
}  // namespace rowvane::cli::testing
