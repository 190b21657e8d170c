// Runs the built rowvane-cli on files in a temporary folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/ProgramRun.h"
#include "tests/support/TempDir.h"

namespace rowvane::cli::testing {
namespace {

using rowvane::testing::ReadFile;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const std::string kStaffCsv = "id,name\r\n7,Ann\r\n8,Bob";
const std::string kStaffXml =
    "<XML>\r\n <row>\r\n  <id>7</id>\r\n  <name>Ann</name>\r\n </row>\r\n"
    " <row>\r\n  <id>8</id>\r\n  <name>Bob</name>\r\n </row>\r\n</XML>";
// Address space caps (bytes) from tight to roomy for a -j 16 run of small files.
// From the roomier caps on, every file of the batch must convert. The program
// maps about 45 MB before its first line runs, most of it ICU's data, which
// libxml2 brings along (mapped, never read by a conversion); the caps start
// just above that.
constexpr struct {
  const char* bytes;
  bool roomForEveryFile;
} kMemoryCaps[] = {
    {"50000000", false}, {"70000000", false}, {"100000000", false}, {"240000000", true}};
const std::string kTryHelp = "Try 'rowvane-cli --help' for more information.\n";

// Replaces each place name in `text` by its path, in one pass, so a path that
// happens to contain a place name is left alone.
std::string Placed(const std::string& text, const std::map<std::string, std::string>& places) {
  std::string result;
  for (std::size_t at = 0; at < text.size();) {
    const auto place = std::find_if(places.begin(), places.end(), [&](const auto& entry) {
      return text.compare(at, entry.first.size(), entry.first) == 0;
    });
    if (place == places.end()) {
      result.push_back(text[at++]);
    } else {
      result += place->second;
      at += place->first.size();
    }
  }
  return result;
}

class CliBinaryTest : public ::testing::Test {
 protected:
  ProgramResult run(std::vector<std::string> args,
                    ErrorStream errorStream = ErrorStream::File) const {
    return RunProgram(ROWVANE_CLI_PATH, args, errorStream);
  }
  std::string output(const std::string& name) const { return ReadFile(m_out / name); }
  // "OUT", "IN" and "TMP" in a test's arguments and expected texts stand for
  // the output folder, the staff input and the temporary folder.
  std::map<std::string, std::string> places() const {
    return {{"OUT", m_out.string()}, {"IN", m_staff}, {"TMP", m_temp.path().string()}};
  }
  std::string placed(const std::string& text) const { return Placed(text, places()); }
  std::vector<std::string> placed(const std::vector<std::string>& args) const {
    std::vector<std::string> result;
    for (const std::string& arg : args) {
      result.push_back(placed(arg));
    }
    return result;
  }
  // Every file below the output folder, by path relative to it.
  std::vector<std::string> outputTree() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_out)) {
      if (entry.is_regular_file()) {
        names.push_back(std::filesystem::relative(entry.path(), m_out).string());
      }
    }
    std::sort(names.begin(), names.end());
    return names;
  }
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

// A name is bytes: one that is not UTF-8 is walked, converted, and named
// again with the same bytes, with or without the folders below.
TEST_F(CliBinaryTest, RecursiveWalkTakesNamesThatAreNotUtf8) {
  m_temp.write("tree/x\xE9.csv", kStaffCsv);
  m_temp.write("tree/sub\xFF/caf\xE9.csv", kStaffCsv);
  const std::string tree = (m_temp.path() / "tree").string();
  const ProgramResult flat = run({"-r", "-o", m_out.string(), tree});
  EXPECT_EQ(flat.exitCode, 0) << flat.err;
  EXPECT_THAT(flat.err, IsEmpty());
  EXPECT_EQ(outputTree(), std::vector<std::string>({"caf\xE9.xml", "x\xE9.xml"}));
  EXPECT_EQ(output("caf\xE9.xml"), kStaffXml);

  std::filesystem::remove_all(m_out);
  std::filesystem::create_directory(m_out);
  const ProgramResult kept = run({"-r", "--keep-tree", "-o", m_out.string(), tree});
  EXPECT_EQ(kept.exitCode, 0) << kept.err;
  EXPECT_EQ(outputTree(), std::vector<std::string>({"sub\xFF/caf\xE9.xml", "x\xE9.xml"}));
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
                    "2 characters that XML does not allow written as U+FFFD"},
        WarningCase{"ValuesPastTheLastName",
                    {},
                    "a\r\n1,2,3\r\n4,5",
                    "warning: 3 values past the last named field not written"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(CliBinaryTest, MissingInputIsReportedAndTheRestConverted) {
  const std::string missing = (m_temp.path() / "in" / "missing.csv").string();
  const ProgramResult result = run({"-o", m_out.string(), missing, m_staff});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, "rowvane-cli: " + missing + ": input file not found\n");
  EXPECT_EQ(outputNames(), std::vector<std::string>{"staff.xml"});
  EXPECT_EQ(output("staff.xml"), kStaffXml);
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

struct FolderCase {
  const char* name;
  std::vector<std::string> args;  // before the input
  int exitCode;
  std::string err;
  bool written;  // TMP/made/deeper/staff.xml
};

void PrintTo(const FolderCase& row, std::ostream* out) {
  *out << row.name;
}

class CliOutputFolderTest : public CliBinaryTest,
                            public ::testing::WithParamInterface<FolderCase> {};

TEST_P(CliOutputFolderTest, IsCheckedOrMadeBeforeAnything) {
  const FolderCase& row = GetParam();
  std::vector<std::string> args = placed(row.args);
  args.push_back(m_staff);
  const ProgramResult result = run(args);
  EXPECT_EQ(result.exitCode, row.exitCode);
  EXPECT_EQ(result.err, placed(row.err));
  EXPECT_EQ(std::filesystem::exists(m_temp.path() / "made/deeper/staff.xml"), row.written);
  EXPECT_THAT(outputNames(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cli, CliOutputFolderTest,
    ::testing::Values(
        FolderCase{"Missing",
                   {"-o", "TMP/nowhere"},
                   2,
                   "rowvane-cli: TMP/nowhere: no such folder (-p creates it)\n",
                   false},
        FolderCase{
            "EmptyName", {"-o", ""}, 2, "rowvane-cli: the output folder's name is empty\n", false},
        FolderCase{"AFile", {"-o", "IN"}, 2, "rowvane-cli: IN: not a folder\n", false},
        FolderCase{
            "BelowAFile", {"-o", "IN/sub"}, 2, "rowvane-cli: IN/sub: Not a directory\n", false},
        FolderCase{"MadeWithParents", {"-p", "-o", "TMP/made/deeper"}, 0, "", true},
        FolderCase{"MadeWithParentsLong", {"--parents", "-o", "TMP/made/deeper/"}, 0, "", true},
        FolderCase{"ParentsBelowAFile",
                   {"-p", "-o", "IN/sub"},
                   2,
                   "rowvane-cli: IN/sub: Not a directory\n",
                   false},
        // The process file system takes no new folders, not even from root.
        FolderCase{"ParentsWhereNoFolderCanBeMade",
                   {"-p", "-o", "/proc/rowvane-made/deeper"},
                   2,
                   "rowvane-cli: /proc/rowvane-made/deeper: cannot create the folder: No such file "
                   "or directory\n",
                   false},
        FolderCase{
            "ParentsOnAFile", {"-p", "-o", "IN"}, 2, "rowvane-cli: IN: not a folder\n", false},
        FolderCase{"NameTooLong",
                   {"-o", "TMP/" + std::string(300, 'n')},
                   2,
                   "rowvane-cli: TMP/" + std::string(300, 'n') + ": File name too long\n",
                   false}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// What is wrong with an inbox is said from the call that found it, never
// from an error number left over from an earlier one.
TEST_F(CliBinaryTest, AnInboxThatCannotBeWatchedIsNamedWithItsReason) {
  for (const auto& [inbox, reason] : std::vector<std::pair<std::string, std::string>>{
           {m_staff, "not a folder"},
           {(m_temp.path() / "none").string(), "No such file or directory"}}) {
    const ProgramResult result = run({"--watch", inbox, "-o", m_out.string()});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "rowvane-cli: --watch '" + inbox + "': " + reason + "\n");
  }
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
  std::string err;  // all of standard error
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
  EXPECT_EQ(result.err, GetParam().err + kTryHelp);
  EXPECT_THAT(result.out, IsEmpty());
  EXPECT_THAT(outputNames(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cli, CliUsageTest,
    ::testing::Values(
        UsageCase{"NoArguments",
                  {},
                  "Usage: rowvane-cli [OPTIONS] -o DIR INPUT...\n"
                  "       rowvane-cli [OPTIONS] -O FILE INPUT\n"
                  "       rowvane-cli [OPTIONS] --watch INBOX -o DIR [--done DIR] [--failed DIR]\n"
                  "       rowvane-cli [OPTIONS] --print-template INPUT\n"
                  "       rowvane-cli --merge-reports REPORT...\n"},
        UsageCase{"NoOutput",
                  {"IN"},
                  "rowvane-cli: no output given: -o DIR for an output folder, or -O FILE for one "
                  "output file\n"},
        UsageCase{"NoInput", {"-o", "OUT"}, "rowvane-cli: no INPUT given\n"},
        UsageCase{"UnknownOption",
                  {"--fast", "-o", "OUT", "IN"},
                  "rowvane-cli: unknown option '--fast'\n"},
        UsageCase{
            "UnknownOptionAlone", {"--frobnicate"}, "rowvane-cli: unknown option '--frobnicate'\n"},
        UsageCase{"RepeatedOption",
                  {"-o", "OUT", "--document-tag=a", "--document-tag", "b", "IN"},
                  "rowvane-cli: --document-tag is given more than once; give it once\n"},
        UsageCase{"ZeroJobs",
                  {"-j", "0", "-o", "OUT", "IN"},
                  "rowvane-cli: --jobs: Value 0 not in range 1 to 1024\n"},
        UsageCase{
            "StandardInputWithoutOutputFile",
            {"-o", "OUT", "-"},
            "rowvane-cli: \"-\" (standard input) needs -O FILE: there is no name to write its "
            "output under\n"},
        UsageCase{"EmptyOutputFile",
                  {"-O", "", "IN"},
                  "rowvane-cli: -O FILE is empty: name a file, or - for standard output\n"},
        UsageCase{"SeparatorWithoutValue",
                  {"-o", "OUT", "IN", "-s"},
                  "rowvane-cli: --separator: 1 required TEXT missing\n"},
        UsageCase{"SeparatorNotUtf8",
                  {"-o", "OUT", "-s", "\xC3", "IN"},
                  "rowvane-cli: --separator '\\xc3': the separator is not UTF-8 text; type it as "
                  "UTF-8 text\n"},
        UsageCase{"UnknownLayout",
                  {"--layout", "columns", "-o", "OUT", "IN"},
                  "rowvane-cli: --layout: columns not in {elements,attributes}\n"},
        UsageCase{"TemplateWithLayout",
                  {"--template", "t.xml", "--layout", "elements", "-o", "OUT", "IN"},
                  "rowvane-cli: --template cannot be used with --layout: the template names "
                  "everything\n"},
        UsageCase{"TemplateWithRowTag",
                  {"--template", "t.xml", "--row-tag", "r", "-o", "OUT", "IN"},
                  "rowvane-cli: --template cannot be used with --row-tag: the template names "
                  "everything\n"},
        UsageCase{"TemplateWithDocumentTag",
                  {"--template=t.xml", "--document-tag=d", "-o", "OUT", "IN"},
                  "rowvane-cli: --template cannot be used with --document-tag: the template "
                  "names everything\n"},
        UsageCase{"TemplateWithoutRowTags",
                  {"--no-row-tags", "--template", "t.xml", "-o", "OUT", "IN"},
                  "rowvane-cli: --template cannot be used with --no-row-tags: the template "
                  "names everything\n"},
        UsageCase{"TemplateWithoutEscaping",
                  {"--template", "t.xml", "--escape", "none", "-o", "OUT", "IN"},
                  "rowvane-cli: --template writes well-formed XML, so it cannot be used with "
                  "--escape none\n"},
        UsageCase{"AttributesWithoutEscaping",
                  {"--layout", "attributes", "--escape", "none", "-o", "OUT", "IN"},
                  "rowvane-cli: --layout attributes writes well-formed XML, so it cannot be "
                  "used with --escape none\n"},
        UsageCase{"AttributesWithoutRowTags",
                  {"--layout", "attributes", "--no-row-tags", "-o", "OUT", "IN"},
                  "rowvane-cli: --layout attributes cannot be used with --no-row-tags: each "
                  "record is a row element\n"},
        UsageCase{"PrintTemplateWithoutRowTags",
                  {"--print-template", "--no-row-tags", "IN"},
                  "rowvane-cli: --print-template cannot be used with --no-row-tags: it writes "
                  "the element layout's template to standard output\n"},
        UsageCase{"PrintTemplateWithOutputFolder",
                  {"--print-template", "-o", "OUT", "IN"},
                  "rowvane-cli: --print-template cannot be used with -o: it writes the element "
                  "layout's template to standard output\n"},
        UsageCase{"PrintTemplateWithOutputFile",
                  {"--print-template", "-O", "x.xml", "IN"},
                  "rowvane-cli: --print-template cannot be used with -O: it writes the element "
                  "layout's template to standard output\n"},
        UsageCase{"PrintTemplateRecursive",
                  {"--print-template", "-r", "IN"},
                  "rowvane-cli: --print-template cannot be used with -r: it writes the element "
                  "layout's template to standard output\n"},
        UsageCase{"PrintTemplateDryRun",
                  {"--print-template", "--dry-run", "IN"},
                  "rowvane-cli: --print-template cannot be used with --dry-run: it writes the "
                  "element layout's template to standard output\n"},
        UsageCase{"PrintTemplateTwoInputs",
                  {"--print-template", "IN", "IN"},
                  "rowvane-cli: --print-template takes exactly one INPUT, but 2 were given\n"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(CliBinaryTest, HelpAndVersionGoToStandardOutput) {
  const ProgramResult help = run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_THAT(help.out, HasSubstr("--separator"));
  EXPECT_THAT(help.err, IsEmpty());
  const ProgramResult version = run({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "rowvane-cli " ROWVANE_VERSION " (revision " ROWVANE_REVISION ")\n");
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
  EXPECT_THAT(shown.err, HasSubstr("0/1 files  100%"));
  EXPECT_THAT(shown.err, HasSubstr("1 converted, 0 failed in "));
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
  // The converted file may still wait for its group's flush when the failure shows.
  EXPECT_THAT(result.err, ContainsRegex("(1/2 files|0/2 files, 1 being flushed), 1 failed"));
  EXPECT_THAT(result.err, HasSubstr("1 converted, 1 failed in "));
}

TEST_F(CliBinaryTest, SummaryWithVerboseWhenNotOnATerminal) {
  const std::string missing = (m_temp.path() / "missing.csv").string();
  const ProgramResult result = run({"-v", "-o", m_out.string(), m_staff, missing});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_THAT(result.err, ContainsRegex("\n1 converted, 1 failed in [0-9]+\\.[0-9] s "
                                        "\\([0-9]+\\.[0-9] MB/s\\)\n$"));
}

// What a CSV with one column named "v" and one value gives.
std::string OneValueXml(const std::string& value) {
  return "<XML>\r\n <row>\r\n  <v>" + value + "</v>\r\n </row>\r\n</XML>";
}

struct PipeCase {
  const char* name;
  std::vector<std::string> args;
  std::optional<std::string> input;  // standard input; none: /dev/null
  std::string out;                   // standard output
  int exitCode;
  std::string errPart;  // empty: standard error stays empty
};

void PrintTo(const PipeCase& row, std::ostream* out) {
  *out << row.name;
}

class CliPipeTest : public CliBinaryTest, public ::testing::WithParamInterface<PipeCase> {};

TEST_P(CliPipeTest, ReadsAndWritesStreams) {
  const PipeCase& row = GetParam();
  m_temp.write("in/values.csv", "v\r\nx\xFFy\xE2\x82");
  Streams streams;
  streams.input = row.input;
  const ProgramResult result = RunProgram(ROWVANE_CLI_PATH, placed(row.args), streams);
  EXPECT_EQ(result.exitCode, row.exitCode) << result.err;
  EXPECT_EQ(result.out, row.out);
  if (row.errPart.empty()) {
    EXPECT_THAT(result.err, IsEmpty());
  } else {
    EXPECT_THAT(result.err, HasSubstr(placed(row.errPart)));
  }
  EXPECT_THAT(outputNames(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cli, CliPipeTest,
    ::testing::Values(
        PipeCase{"StandardInToStandardOut", {"-", "-O", "-"}, kStaffCsv, kStaffXml, 0, ""},
        PipeCase{"FileToStandardOut", {"--output-file=-", "IN"}, std::nullopt, kStaffXml, 0, ""},
        PipeCase{"StandardInFallsBackToWindows1252",
                 {"-O", "-", "-"},
                 "v\r\n\xE9t\xE9",
                 OneValueXml("\xC3\xA9t\xC3\xA9"),
                 0,
                 ""},
        PipeCase{"FixedUtf8RepairsAndWarns",
                 {"--encoding", "utf-8", "-O", "-", "TMP/in/values.csv"},
                 std::nullopt,
                 OneValueXml("x\xEF\xBF\xBDy\xEF\xBF\xBD"),
                 0,
                 "rowvane-cli: TMP/in/values.csv: warning: 2 ill-formed UTF-8 sequences written as "
                 "U+FFFD\n"},
        PipeCase{"FixedUtf8FromStandardIn",
                 {"--encoding=utf-8", "-", "-O", "-"},
                 "v\r\n\xC3\xA9\xFF",
                 OneValueXml("\xC3\xA9\xEF\xBF\xBD"),
                 0,
                 "1 ill-formed UTF-8 sequence written"},
        PipeCase{"FixedWindows1252",
                 {"--encoding", "windows-1252", "-", "-O", "-"},
                 "v\r\n\xC3\xA9",
                 OneValueXml("\xC3\x83\xC2\xA9"),
                 0,
                 ""},
        PipeCase{"FixedUtf16le",
                 {"--encoding", "utf-16le", "-", "-O", "-"},
                 std::string("v\0\r\0\n\0\xE9\0", 8),
                 OneValueXml("\xC3\xA9"),
                 0,
                 ""},
        PipeCase{"FixedUtf16leOddLastByteStartsNoRecord",
                 {"--encoding", "utf-16le", "-", "-O", "-"},
                 std::string("v\0\r\0\n\0\xE9\0\r\0\n\0X", 13),
                 OneValueXml("\xC3\xA9"),
                 0,
                 "rowvane-cli: standard input: warning: 1 ill-formed UTF-16 unit (lone "
                 "surrogates, an odd last byte) written as U+FFFD or left out\n"},
        PipeCase{"DetectedUtf16LoneSurrogates",
                 {"-", "-O", "-"},
                 std::string("\xFF\xFEv\0\r\0\n\0\x00\xDC\x3D\xD8", 12),
                 OneValueXml("\xEF\xBF\xBD\xEF\xBF\xBD"),
                 0,
                 "warning: 2 ill-formed UTF-16 units"},
        PipeCase{"TypedTabSeparator",
                 {"-s", "\\t", "-", "-O", "-"},
                 "a\tb\r\n1\t2",
                 "<XML>\r\n <row>\r\n  <a>1</a>\r\n  <b>2</b>\r\n </row>\r\n</XML>",
                 0,
                 ""},
        PipeCase{"DevNullIsWrittenInPlace", {"-O", "/dev/null", "IN"}, std::nullopt, "", 0, ""},
        PipeCase{"FailureOnceWritingHasBegun",
                 {"-O", "/dev/full", "IN"},
                 std::nullopt,
                 "",
                 1,
                 "rowvane-cli: IN: cannot write /dev/full: No space left on device\n"},
        PipeCase{"MissingInput",
                 {"-O", "-", "TMP/none.csv"},
                 std::nullopt,
                 "",
                 1,
                 "rowvane-cli: TMP/none.csv: input file not found\n"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(CliBinaryTest, DevicesStayDevices) {
  ASSERT_EQ(run({"-O", "/dev/null", m_staff}).exitCode, 0);
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

// A late byte that is not UTF-8 starts the text over in Windows-1252; what
// reaches standard output is only the final text, even from an input larger
// than any buffer on the way.
TEST_F(CliBinaryTest, StandardOutputGetsOnlyTheSettledText) {
  const std::string value(3'000'000, 'a');
  const std::string input = m_temp.write("in/late.csv", "v\r\n" + value + "\xE9");
  const ProgramResult result = run({"-O", "-", input});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(result.out == OneValueXml(value + "\xC3\xA9"))
      << "output of " << result.out.size() << " bytes";
}

TEST_F(CliBinaryTest, OutputFileIsReplacedWholeAndNeverTheInput) {
  const std::string target = m_temp.write("out/named.xml", "old");
  const ProgramResult result = run({"-O", target, m_staff});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(outputNames(), std::vector<std::string>{"named.xml"});  // no temporary file left
  EXPECT_EQ(output("named.xml"), kStaffXml);

  const ProgramResult kept = run({"-n", "-O", target, m_staff});
  EXPECT_EQ(kept.exitCode, 1);
  EXPECT_EQ(kept.err, "rowvane-cli: " + m_staff + ": not converted: " + target +
                          " exists, and -n keeps it\n");
}

// -O through links and descriptor names. Links are made as LINK -> TARGET
// below the temporary folder ("/..." targets stay as they are); standard
// output is appended to TMP/stdout.txt, which starts as "before\n".
struct LinkCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> links;
  std::string outputFile;  // the -O argument
  std::string written;     // the file that must hold the XML (after "before\n" for stdout.txt)
  int exitCode;
  std::string errPart;                    // empty: standard error stays empty
  std::vector<std::string> options = {};  // before -O
};

void PrintTo(const LinkCase& row, std::ostream* out) {
  *out << row.name;
}

class CliOutputLinkTest : public CliBinaryTest, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(CliOutputLinkTest, FollowsTheLinkAndNeverReplacesIt) {
  const LinkCase& row = GetParam();
  const std::filesystem::path root = m_temp.path();
  const std::string captured = m_temp.write("stdout.txt", "before\n");
  m_temp.write("old/target.xml", "old");
  m_temp.makeFolder("links");
  for (const auto& [link, target] : row.links) {
    std::filesystem::create_symlink(target, root / link);
  }
  Streams streams;
  streams.appendOutputTo = captured;
  std::vector<std::string> args = row.options;
  args.insert(args.end(), {"-O", placed(row.outputFile), m_staff});
  const ProgramResult result = RunProgram(ROWVANE_CLI_PATH, args, streams);
  EXPECT_EQ(result.exitCode, row.exitCode) << result.err;
  if (row.errPart.empty()) {
    EXPECT_THAT(result.err, IsEmpty());
  } else {
    EXPECT_THAT(result.err, HasSubstr(placed(row.errPart)));
  }
  for (const auto& [link, target] : row.links) {
    EXPECT_TRUE(std::filesystem::is_symlink(root / link)) << link << " was replaced";
  }
  if (!std::filesystem::is_symlink("/dev/stdout")) {
    ADD_FAILURE() << "/dev/stdout was replaced";
    // Replaced as root, it would break every later program on the machine.
    std::filesystem::remove("/dev/stdout");
    std::filesystem::create_symlink("/proc/self/fd/1", "/dev/stdout");
  }
  if (!row.written.empty()) {
    const std::string expected = row.written == "stdout.txt" ? "before\n" + kStaffXml : kStaffXml;
    EXPECT_EQ(ReadFile(root / row.written), expected);
  }
  EXPECT_EQ(ReadFile(captured).substr(0, 7), "before\n");
  // No temporary file is left beside any target.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    EXPECT_FALSE(entry.path().filename().string().starts_with(".rowvane-")) << entry.path();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cli, CliOutputLinkTest,
    ::testing::Values(
        LinkCase{"LinkToARegularFile",
                 {{"links/out.xml", "../old/target.xml"}},
                 "TMP/links/out.xml",
                 "old/target.xml",
                 0,
                 ""},
        LinkCase{"ChainOfLinks",
                 {{"links/first.xml", "second.xml"}, {"links/second.xml", "../old/target.xml"}},
                 "TMP/links/first.xml",
                 "old/target.xml",
                 0,
                 ""},
        LinkCase{"DanglingLinkMakesItsTarget",
                 {{"links/out.xml", "../old/new.xml"}},
                 "TMP/links/out.xml",
                 "old/new.xml",
                 0,
                 ""},
        LinkCase{"DevStdout", {}, "/dev/stdout", "stdout.txt", 0, ""},
        LinkCase{"DevFdOne", {}, "/dev/fd/1", "stdout.txt", 0, ""},
        // Written in place, the file of standard output is not one -n keeps.
        LinkCase{"DevStdoutWithNoClobber", {}, "/dev/stdout", "stdout.txt", 0, "", {"-n"}},
        LinkCase{"LinkToAFileWithNoClobber",
                 {{"links/out.xml", "../old/target.xml"}},
                 "TMP/links/out.xml",
                 "",
                 1,
                 "exists, and -n keeps it",
                 {"-n"}},
        LinkCase{"LinkToDevStdout",
                 {{"links/out.xml", "/dev/stdout"}},
                 "TMP/links/out.xml",
                 "stdout.txt",
                 0,
                 ""},
        LinkCase{"LinkToDevNull", {{"links/out.xml", "/dev/null"}}, "TMP/links/out.xml", "", 0, ""},
        LinkCase{"LinkLoop",
                 {{"links/a.xml", "b.xml"}, {"links/b.xml", "a.xml"}},
                 "TMP/links/a.xml",
                 "",
                 1,
                 "cannot write TMP/links/a.xml: Too many levels of symbolic links"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// Whichever way the input and the output meet in one regular file, the run
// is refused before anything is written.
struct SameFileCase {
  const char* name;
  std::vector<std::string> args;
  bool inputIsStaff;          // standard input is the staff file
  bool outputIsStaff;         // standard output is appended to the staff file
  std::string input, output;  // as the refusal names them
};

void PrintTo(const SameFileCase& row, std::ostream* out) {
  *out << row.name;
}

class CliOutputIsInputTest : public CliBinaryTest,
                             public ::testing::WithParamInterface<SameFileCase> {};

TEST_P(CliOutputIsInputTest, IsABadUsageAndLeavesTheInputAlone) {
  const SameFileCase& row = GetParam();
  std::filesystem::create_symlink(m_staff, m_temp.path() / "staff-link.csv");
  Streams streams;
  if (row.inputIsStaff) {
    streams.inputFile = m_staff;
  }
  if (row.outputIsStaff) {
    streams.appendOutputTo = m_staff;
  }
  const ProgramResult result = RunProgram(ROWVANE_CLI_PATH, placed(row.args), streams);
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.err, placed("rowvane-cli: " + row.input + ": cannot write " + row.output +
                               ": the output file would replace the input file\n"));
  EXPECT_EQ(ReadFile(m_staff), kStaffCsv);
}

const std::string kIn = "standard input";
const std::string kOut = "standard output";

INSTANTIATE_TEST_SUITE_P(
    Cli, CliOutputIsInputTest,
    ::testing::Values(
        SameFileCase{"NamedInput", {"-O", "IN", "IN"}, false, false, "IN", "IN"},
        SameFileCase{"ThroughALink",
                     {"-O", "TMP/staff-link.csv", "IN"},
                     false,
                     false,
                     "IN",
                     "TMP/staff-link.csv"},
        SameFileCase{"StandardInputAsTheOutputFile", {"-", "-O", "IN"}, true, false, kIn, "IN"},
        SameFileCase{"StandardInputAsStandardOutput",
                     {"--encoding=utf-8", "-", "-O", "-"},
                     true,
                     true,
                     kIn,
                     kOut},
        SameFileCase{
            "StandardInputAsDevStdout", {"-", "-O", "/dev/stdout"}, true, true, kIn, "/dev/stdout"},
        SameFileCase{"NamedInputAsStandardOutput", {"-O", "-", "IN"}, false, true, "IN", kOut}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(CliBinaryTest, StandardInputFileIntoAnotherFileConverts) {
  const std::string other = m_temp.write("other.xml", "old");
  Streams streams;
  streams.inputFile = m_staff;
  const ProgramResult result = RunProgram(ROWVANE_CLI_PATH, {"-", "-O", other}, streams);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(ReadFile(other), kStaffXml);
}

// Errors about the temporary file name the folder it was to be made in.
TEST_F(CliBinaryTest, TemporaryFolderIsNamedInItsErrors) {
  const std::string notAFolder = m_temp.write("plain-file", "");
  for (const std::string& folder : {m_temp.path().string() + "/missing", notAFolder}) {
    Streams streams;
    streams.input = kStaffCsv;
    streams.environment = {"TMPDIR=" + folder};
    const ProgramResult result = RunProgram(ROWVANE_CLI_PATH, {"-", "-O", "-"}, streams);
    EXPECT_EQ(result.exitCode, 1) << folder;
    EXPECT_THAT(result.err, HasSubstr("cannot write standard output: temporary file in " + folder +
                                      ": cannot create: "))
        << folder;
  }
}

class CliClosedPipeTest : public CliBinaryTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CliClosedPipeTest, EndsQuietlyBySigpipe) {
  Streams streams;
  streams.closedOutput = true;
  streams.pipeSignalIgnored = GetParam();
  for (const char* encoding : {"auto", "utf-8"}) {
    const ProgramResult result =
        RunProgram(ROWVANE_CLI_PATH, {"--encoding", encoding, "-O", "-", m_staff}, streams);
    EXPECT_EQ(result.signal, SIGPIPE) << encoding;
    EXPECT_THAT(result.err, IsEmpty()) << encoding;
  }
}

INSTANTIATE_TEST_SUITE_P(Cli, CliClosedPipeTest, ::testing::Values(false, true),
                         [](const auto& testInfo) {
                           return std::string(testInfo.param ? "SignalIgnored" : "SignalDefault");
                         });

// Two inputs named staff.csv, one in in/ and one in in/sub/.
struct TreeCase {
  const char* name;
  std::vector<std::string> args;  // "TREE" is the folder in/, "SUB" the second input
  int exitCode;
  std::string out;
  std::string err;
  std::map<std::string, std::string> outputs;  // path below OUT -> content
};

void PrintTo(const TreeCase& row, std::ostream* out) {
  *out << row.name;
}

const std::string kSubCsv = "id\r\n9";
const std::string kSubXml = "<XML>\r\n <row>\r\n  <id>9</id>\r\n </row>\r\n</XML>";

class CliTreeTest : public CliBinaryTest, public ::testing::WithParamInterface<TreeCase> {
 protected:
  std::string m_sub = m_temp.write("in/sub/staff.csv", kSubCsv);
  std::string treePlaced(const std::string& text) const {
    auto all = places();
    all.emplace("TREE", (m_temp.path() / "in").string());
    all.emplace("SUB", m_sub);
    return Placed(text, all);
  }
};

TEST_P(CliTreeTest, NamesEachOutputAndWarnsOfCollisions) {
  const TreeCase& row = GetParam();
  if (row.outputs.contains("staff.xml") && row.outputs.at("staff.xml") == "old") {
    m_temp.write("out/staff.xml", "old");
  }
  std::vector<std::string> args;
  for (const std::string& arg : row.args) {
    args.push_back(treePlaced(arg));
  }
  const ProgramResult result = run(args);
  EXPECT_EQ(result.exitCode, row.exitCode);
  EXPECT_EQ(result.out, treePlaced(row.out));
  EXPECT_EQ(result.err, treePlaced(row.err));
  std::vector<std::string> expectedTree;
  for (const auto& [path, content] : row.outputs) {
    expectedTree.push_back(path);
    const std::string expected = content == "staff" ? kStaffXml
                                 : content == "sub" ? kSubXml
                                                    : content;
    EXPECT_EQ(output(path), expected) << path;
  }
  EXPECT_EQ(outputTree(), expectedTree);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, CliTreeTest,
    ::testing::Values(
        TreeCase{"LaterWinsWithAWarning",
                 {"-o", "OUT", "IN", "SUB"},
                 0,
                 "",
                 "rowvane-cli: warning: IN and SUB both give OUT/staff.xml; the later, SUB, "
                 "replaces the other\n",
                 {{"staff.xml", "sub"}}},
        TreeCase{"RecursiveWithoutKeepTreeCollides",
                 {"-r", "-o", "OUT", "TREE"},
                 0,
                 "",
                 "rowvane-cli: warning: IN and SUB both give OUT/staff.xml; the later, SUB, "
                 "replaces the other\n",
                 {{"staff.xml", "sub"}}},
        TreeCase{"NoClobberKeepsTheFirst",
                 {"-n", "-o", "OUT", "IN", "SUB"},
                 1,
                 "",
                 "rowvane-cli: SUB: not converted: IN also gives OUT/staff.xml, and -n keeps the "
                 "first\n",
                 {{"staff.xml", "staff"}}},
        TreeCase{"NoClobberKeepsAnExistingOutput",
                 {"--no-clobber", "-o", "OUT", "IN"},
                 1,
                 "",
                 "rowvane-cli: IN: not converted: OUT/staff.xml exists, and -n keeps it\n",
                 {{"staff.xml", "old"}}},
        TreeCase{"KeepTree",
                 {"-r", "--keep-tree", "-o", "OUT", "TREE/"},
                 0,
                 "",
                 "",
                 {{"staff.xml", "staff"}, {"sub/staff.xml", "sub"}}},
        TreeCase{"DryRunListsAndWritesNothing",
                 {"--dry-run", "-o", "OUT", "IN", "SUB"},
                 0,
                 "IN -> OUT/staff.xml\nSUB -> OUT/staff.xml\n",
                 "rowvane-cli: warning: IN and SUB both give OUT/staff.xml; the later, SUB, "
                 "replaces the other\n",
                 {}},
        TreeCase{"DryRunOfAKeptTreeMakesNoFolder",
                 {"--dry-run", "-r", "--keep-tree", "-o", "OUT", "TREE", "TMP/none.csv"},
                 1,
                 "IN -> OUT/staff.xml\nSUB -> OUT/sub/staff.xml\n",
                 "rowvane-cli: TMP/none.csv: input file not found\n",
                 {}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct FlushCase {
  const char* name;
  std::vector<std::string>
      args;  // OUT, IN and TMP placed; TMP/in/staff1.csv and staff2.csv are copies of IN
  std::size_t fileFlushes;  // fdatasync and fsync of files, seen through strace
  bool folderFlushed;
};

void PrintTo(const FlushCase& row, std::ostream* out) {
  *out << row.name;
}

class CliFlushTest : public CliBinaryTest, public ::testing::WithParamInterface<FlushCase> {};

// Each output's own data flush and one folder flush per group, or none at
// all with --no-sync; the outputs are the same either way.
TEST_P(CliFlushTest, FlushesExactlyWhatItShould) {
  const FlushCase& row = GetParam();
  if (RunProgram("/usr/bin/strace", {"-V"}).exitCode != 0) {
    GTEST_SKIP() << "strace is not installed";
  }
  // LeakSanitizer cannot run under ptrace and would fail a sanitized build's
  // run; a plain build ignores the setting.
  std::vector<std::string> args = {"-f",
                                   "-qq",
                                   "-E",
                                   "ASAN_OPTIONS=detect_leaks=0",
                                   "-e",
                                   "trace=fsync,fdatasync,syncfs",
                                   "-o",
                                   placed("TMP/trace"),
                                   ROWVANE_CLI_PATH};
  for (const std::string& arg : row.args) {
    args.push_back(placed(arg));
  }
  for (int i = 1; i <= 2; ++i) {
    m_temp.write("in/staff" + std::to_string(i) + ".csv", kStaffCsv);
  }
  const ProgramResult result = RunProgram("/usr/bin/strace", args);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::string trace = ReadFile(placed("TMP/trace"));
  std::size_t fileFlushes = 0;
  bool folderFlushed = false;
  std::istringstream lines(trace);
  for (std::string line; std::getline(lines, line);) {
    const bool data = line.find("fdatasync(") != std::string::npos;
    fileFlushes += data ? 1 : 0;
    folderFlushed = folderFlushed || line.find(" fsync(") != std::string::npos;
    EXPECT_EQ(line.find("syncfs("), std::string::npos) << line;
  }
  EXPECT_EQ(fileFlushes, row.fileFlushes) << trace;
  EXPECT_EQ(folderFlushed, row.folderFlushed) << trace;
  for (const std::string& name : outputNames()) {
    EXPECT_EQ(output(name), kStaffXml) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Durability, CliFlushTest,
    ::testing::Values(
        FlushCase{"Batch", {"-o", "OUT", "TMP/in/staff1.csv", "TMP/in/staff2.csv", "IN"}, 3, true},
        FlushCase{"BatchNoSync",
                  {"--no-sync", "-o", "OUT", "TMP/in/staff1.csv", "TMP/in/staff2.csv", "IN"},
                  0,
                  false},
        FlushCase{"OutputFileNoSync", {"--no-sync", "-O", "OUT/staff.xml", "IN"}, 0, false}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
}  // namespace rowvane::cli::testing

namespace rowvane::cli::testing {
namespace {

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
constexpr const char* kLinesTemplate =
    "<o xmlns:rv=\"urn:rowvane:layout\">\n"
    " <g rv:group-by=\"{id}\" id=\"{id}\"><n rv:for-each=\"record\">{name}</n></g>\n</o>";

struct LayoutRun {
  const char* name;
  std::map<std::string, std::string> files;  // below the temporary folder
  std::vector<std::string> args;             // TMP, OUT and IN placed
  int exitCode;
  std::string out;
  std::string err;
  std::map<std::string, std::string> outputs;  // in OUT
};

void PrintTo(const LayoutRun& row, std::ostream* out) {
  *out << row.name;
}

class CliLayoutTest : public CliBinaryTest, public ::testing::WithParamInterface<LayoutRun> {};

TEST_P(CliLayoutTest, WritesExactly) {
  const LayoutRun& row = GetParam();
  for (const auto& [name, bytes] : row.files) {
    m_temp.write(name, bytes);
  }
  const ProgramResult result = run(placed(row.args));
  EXPECT_EQ(result.exitCode, row.exitCode) << result.err;
  EXPECT_EQ(result.out, row.out);
  EXPECT_EQ(result.err, placed(row.err));
  std::vector<std::string> names;
  for (const auto& [name, bytes] : row.outputs) {
    names.push_back(name);
    EXPECT_EQ(output(name), bytes) << name;
  }
  EXPECT_EQ(outputTree(), names);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, CliLayoutTest,
    ::testing::Values(
        LayoutRun{
            "Attributes",
            {},
            {"--layout", "attributes", "-o", "OUT", "IN"},
            0,
            "",
            "",
            {{"staff.xml", std::string(kDeclaration) + "<XML>\r\n <row id=\"7\" name=\"Ann\"/>\r\n"
                                                       " <row id=\"8\" name=\"Bob\"/>\r\n</XML>"}}},
        LayoutRun{
            "TemplateWithGroups",
            {{"t.xml", kLinesTemplate}, {"in/l.csv", "id,name\r\n1,a\r\n1,b\r\n2,c"}},
            {"--template", "TMP/t.xml", "-o", "OUT", "TMP/in/l.csv"},
            0,
            "",
            "",
            {{"l.xml", std::string(kDeclaration) + "<o>\r\n <g id=\"1\"><n>a</n><n>b</n></g>\r\n"
                                                   " <g id=\"2\"><n>c</n></g>\r\n</o>"}}},
        LayoutRun{"KeyComingBackJoinsItsGroup",
                  {{"t.xml", kLinesTemplate}, {"in/l.csv", "id,name\r\n1,a\r\n2,b\r\n1,c"}},
                  {"--template", "TMP/t.xml", "-o", "OUT", "TMP/in/l.csv"},
                  0,
                  "",
                  "",
                  {{"l.xml", std::string(kDeclaration) +
                                 "<o>\r\n <g id=\"1\"><n>a</n><n>c</n></g>\r\n <g "
                                 "id=\"2\"><n>b</n></g>\r\n</o>"}}},
        LayoutRun{
            "TemplateThatCannotBeUsedStopsTheRun",
            {{"t.xml", "<o xmlns:rv=\"urn:rowvane:layout\">\n  <n rv:for-each=\"rows\"/></o>"}},
            {"--template", "TMP/t.xml", "-o", "OUT", "IN"},
            2,
            "",
            "rowvane-cli: TMP/t.xml:2:3: rv:for-each=\"rows\": the only value is "
            "\"record\"\n",
            {}},
        LayoutRun{"MissingTemplate",
                  {},
                  {"--template", "TMP/none.xml", "-o", "OUT", "IN"},
                  2,
                  "",
                  "rowvane-cli: TMP/none.xml: cannot read the template: No such file or "
                  "directory\n",
                  {}},
        LayoutRun{
            "InputWithoutTheFieldFailsAlone",
            {{"t.xml", kLinesTemplate},
             {"in/k.csv", "key,name\r\n1,a"},
             {"in/l.csv", "id,name\r\n1,a"}},
            {"--template", "TMP/t.xml", "-o", "OUT", "TMP/in/k.csv", "TMP/in/l.csv"},
            1,
            "",
            "rowvane-cli: TMP/in/k.csv: no field named 'id'; its fields are: key, name\n",
            {{"l.xml", std::string(kDeclaration) + "<o>\r\n <g id=\"1\"><n>a</n></g>\r\n</o>"}}},
        LayoutRun{"PrintTemplate",
                  {{"in/odd.csv", "id,a}b,id,#2,\r\n1,2,3,4,5"}},
                  {"--print-template", "--document-tag", "d", "TMP/in/odd.csv"},
                  0,
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<d xmlns:rv=\"urn:rowvane:layout\">\n <row rv:for-each=\"record\">\n"
                  "  <id>{#1}</id>\n  <a_b>{#2}</a_b>\n  <id>{#3}</id>\n  <_2>{#4}</_2>\n"
                  "  <header5>{}</header5>\n </row>\n</d>\n",
                  "",
                  {}},
        LayoutRun{"PrintTemplateOfAMissingInput",
                  {},
                  {"--print-template", "TMP/none.csv"},
                  1,
                  "",
                  "rowvane-cli: TMP/none.csv: input file not found\n",
                  {}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// The printed template, used as the template, gives the escaped element
// layout byte for byte.
TEST_F(CliBinaryTest, PrintedTemplateGivesTheEscapedElementLayout) {
  const std::string input =
      m_temp.write("in/odd.csv", "id;a}b;id;#2;;{x;a&b\r\n1;<2>;3;\"4\";5;6;7\r\n8");
  const ProgramResult printed = run({"--print-template", "-s", ";", "--format", "standard", input});
  ASSERT_EQ(printed.exitCode, 0) << printed.err;
  const std::string layout = m_temp.write("t.xml", printed.out);
  const ProgramResult templated =
      run({"--template", layout, "-s", ";", "--format", "standard", "-O", "-", input});
  const ProgramResult escaped = run({"-s", ";", "--format", "standard", "-O", "-", input});
  EXPECT_EQ(templated.exitCode, 0) << templated.err;
  EXPECT_EQ(templated.out, escaped.out);
  EXPECT_THAT(escaped.out, HasSubstr("<a_b>&lt;2&gt;</a_b>"));
}

}  // namespace
}  // namespace rowvane::cli::testing
