#include "cli/CommandLine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace rowvane::cli {
namespace {

using ::testing::HasSubstr;

ParsedCommandLine Parse(const std::vector<std::string>& args) {
  std::vector<const char*> argv{"rowvane-cli"};
  for (const std::string& arg : args) {
    argv.push_back(arg.c_str());
  }
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data());
}

// The options that a row of the table expects; unlisted fields keep the defaults.
struct Expected {
  std::string separator = ",";
  bool hasHeaderRow = true;
  std::string documentTag = "XML";
  std::string rowTag = "row";
  bool includeRowTags = true;
  std::string outputFolder = "out";
  std::vector<std::string> inputs = {"a.csv"};
  std::optional<unsigned> jobs;
  bool quiet = false;
  CsvFormat format = CsvFormat::Classic();
  std::optional<std::string> outputFile;
  std::optional<Encoding> encoding;
  // -v, -p, -n, -r, --keep-tree, --dry-run, in this order
  std::vector<bool> switches = std::vector<bool>(6, false);
  std::string schema;
  std::optional<std::string> printSchemaOf;
  std::map<std::string, std::string> parameters;
};

struct AcceptedCase {
  const char* name;
  std::vector<std::string> args;
  Expected expected;
};

void PrintTo(const AcceptedCase& row, std::ostream* out) {
  *out << row.name;
}

class AcceptedArguments : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(AcceptedArguments, GiveTheseOptions) {
  const AcceptedCase& row = GetParam();
  const ParsedCommandLine parsed = Parse(row.args);
  ASSERT_TRUE(std::holds_alternative<CliOptions>(parsed))
      << (std::holds_alternative<UsageError>(parsed) ? std::get<UsageError>(parsed).message
                                                     : std::string("help or version"));
  const auto& options = std::get<CliOptions>(parsed);
  const Expected& expected = row.expected;
  EXPECT_EQ(options.settings.Separator, expected.separator);
  EXPECT_EQ(options.settings.HasHeaderRow, expected.hasHeaderRow);
  EXPECT_EQ(options.settings.DocumentTag, expected.documentTag);
  EXPECT_EQ(options.settings.RowTag, expected.rowTag);
  EXPECT_EQ(options.settings.IncludeRowTags, expected.includeRowTags);
  EXPECT_EQ(options.outputFolder, expected.outputFolder);
  EXPECT_EQ(options.inputs, expected.inputs);
  EXPECT_EQ(options.jobs, expected.jobs);
  EXPECT_EQ(options.quiet, expected.quiet);
  EXPECT_EQ(options.outputFile, expected.outputFile);
  EXPECT_EQ(options.settings.InputEncoding, expected.encoding);
  EXPECT_EQ(std::vector<bool>({options.verbose, options.parents, options.noClobber,
                               options.recursive, options.keepTree, options.dryRun}),
            expected.switches);
  EXPECT_EQ(options.settings.Format, expected.format);
  EXPECT_EQ(options.schema, expected.schema);
  EXPECT_EQ(options.printSchemaOf, expected.printSchemaOf);
  EXPECT_EQ(options.templateParameters, expected.parameters);
}

// --schema and --print-schema imply escaping: only well-formed XML can match.
Expected ForSchema(std::string schema, std::optional<std::string> printSchemaOf = std::nullopt,
                   CsvFormat format = {LineBreaks::CrLf, Quotes::None, Escaping::Xml}) {
  Expected expected;
  expected.schema = std::move(schema);
  expected.printSchemaOf = std::move(printSchemaOf);
  expected.format = format;
  if (expected.printSchemaOf) {
    expected.outputFolder = "";
    expected.inputs = {};
  }
  return expected;
}

Expected WithFormat(CsvFormat format) {
  Expected expected;
  expected.format = format;
  return expected;
}

Expected ToFile(std::string file, std::vector<std::string> inputs = {"a.csv"}) {
  Expected expected;
  expected.outputFile = std::move(file);
  expected.outputFolder = "";
  expected.inputs = std::move(inputs);
  return expected;
}

Expected WithEncoding(std::optional<Encoding> encoding) {
  Expected expected;
  expected.encoding = encoding;
  return expected;
}

Expected WithSwitches(std::vector<bool> switches) {
  Expected expected;
  expected.switches = std::move(switches);
  return expected;
}

Expected WithSeparator(std::string separator) {
  Expected expected;
  expected.separator = std::move(separator);
  return expected;
}

Expected WithTags(std::string documentTag, std::string rowTag) {
  Expected expected;
  expected.documentTag = std::move(documentTag);
  expected.rowTag = std::move(rowTag);
  return expected;
}

Expected WithInputs(std::vector<std::string> inputs) {
  Expected expected;
  expected.inputs = std::move(inputs);
  return expected;
}

Expected WithJobs(unsigned jobs) {
  Expected expected;
  expected.jobs = jobs;
  return expected;
}

Expected WithoutHeaderAndRowTags() {
  Expected expected;
  expected.hasHeaderRow = false;
  expected.includeRowTags = false;
  return expected;
}

Expected Quiet() {
  Expected expected;
  expected.quiet = true;
  return expected;
}

// A template implies escaping, as a schema does.
Expected WithParameters(std::map<std::string, std::string> parameters) {
  Expected expected;
  expected.format = {LineBreaks::CrLf, Quotes::None, Escaping::Xml};
  expected.parameters = std::move(parameters);
  return expected;
}

Expected WithOutputFolder(std::string folder) {
  Expected expected;
  expected.outputFolder = std::move(folder);
  return expected;
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, AcceptedArguments,
    ::testing::Values(
        AcceptedCase{"Defaults", {"-o", "out", "a.csv"}, Expected{}},
        AcceptedCase{"EveryParameterKept",
                     {"--template", "t.xml", "--param", "b=2", "--param=a=", "-o", "out", "--param",
                      "c=x=y", "a.csv"},
                     WithParameters({{"a", ""}, {"b", "2"}, {"c", "x=y"}})},
        AcceptedCase{"LongOutput", {"--output", "out", "a.csv"}, Expected{}},
        AcceptedCase{"OutputWithEquals", {"--output=out", "a.csv"}, Expected{}},
        AcceptedCase{"OutputAfterInputs", {"a.csv", "-o", "out"}, Expected{}},
        AcceptedCase{"OutputKeptAsTyped", {"-o", "out/", "a.csv"}, WithOutputFolder("out/")},
        AcceptedCase{"EmptyOutputFolder", {"-o", "", "a.csv"}, WithOutputFolder("")},
        AcceptedCase{"Semicolon", {"-s", ";", "-o", "out", "a.csv"}, WithSeparator(";")},
        AcceptedCase{"SeveralCharacters", {"-s", "; ", "-o", "out", "a.csv"}, WithSeparator("; ")},
        AcceptedCase{"EmptySeparator", {"-s", "", "-o", "out", "a.csv"}, WithSeparator("")},
        AcceptedCase{
            "EmptySeparatorWithEquals", {"--separator=", "-o", "out", "a.csv"}, WithSeparator("")},
        AcceptedCase{"EmptySeparatorLast", {"-o", "out", "a.csv", "-s", ""}, WithSeparator("")},
        AcceptedCase{"Dash", {"-s", "-", "-o", "out", "a.csv"}, WithSeparator("-")},
        AcceptedCase{"DashWithEquals", {"--separator=-", "-o", "out", "a.csv"}, WithSeparator("-")},
        AcceptedCase{"DoubleDash", {"-s", "--", "-o", "out", "a.csv"}, WithSeparator("--")},
        AcceptedCase{"LooksLikeAnOption", {"-s", "-o", "-o", "out", "a.csv"}, WithSeparator("-o")},
        AcceptedCase{"LooksLikeALongOption",
                     {"--separator", "--row-tag", "-o", "out", "a.csv"},
                     WithSeparator("--row-tag")},
        AcceptedCase{"AttachedToShort", {"-s;", "-o", "out", "a.csv"}, WithSeparator(";")},
        AcceptedCase{"ClusteredWithQuiet",
                     {"-qs", "-", "-o", "out", "a.csv"},
                     [] {
                       Expected expected = Quiet();
                       expected.separator = "-";
                       return expected;
                     }()},
        AcceptedCase{
            "EqualsSignAsSeparator", {"--separator==", "-o", "out", "a.csv"}, WithSeparator("=")},
        AcceptedCase{"Space", {"-s", " ", "-o", "out", "a.csv"}, WithSeparator(" ")},
        AcceptedCase{"Tags",
                     {"--document-tag", "Doc", "--row-tag", "Rec", "-o", "out", "a.csv"},
                     WithTags("Doc", "Rec")},
        AcceptedCase{"EmptyTags",
                     {"--document-tag", "", "--row-tag=", "-o", "out", "a.csv"},
                     WithTags("", "")},
        AcceptedCase{"TagsWithSpaces",
                     {"--document-tag", "my doc", "-o", "out", "a.csv"},
                     WithTags("my doc", "row")},
        AcceptedCase{"Flags",
                     {"--no-header", "--no-row-tags", "-o", "out", "a.csv"},
                     WithoutHeaderAndRowTags()},
        AcceptedCase{"Jobs", {"-j", "4", "-o", "out", "a.csv"}, WithJobs(4)},
        AcceptedCase{"JobsLong", {"--jobs=1", "-o", "out", "a.csv"}, WithJobs(1)},
        AcceptedCase{"Quiet", {"-q", "-o", "out", "a.csv"}, Quiet()},
        AcceptedCase{"QuietLong", {"--quiet", "-o", "out", "a.csv"}, Quiet()},
        AcceptedCase{"InputsInOrder",
                     {"-o", "out", "b.csv", "a.csv", "b.csv"},
                     WithInputs({"b.csv", "a.csv", "b.csv"})},
        AcceptedCase{"ClassicFormat", {"--format", "classic", "-o", "out", "a.csv"}, Expected{}},
        AcceptedCase{"StandardFormat",
                     {"--format=standard", "-o", "out", "a.csv"},
                     WithFormat(CsvFormat::Standard())},
        AcceptedCase{"StandardWithoutEscaping",
                     {"--escape", "none", "--format", "standard", "-o", "out", "a.csv"},
                     WithFormat({LineBreaks::Any, Quotes::Double, Escaping::None})},
        AcceptedCase{"ClassicWithOneChoice",
                     {"--quotes=double", "-o", "out", "a.csv"},
                     WithFormat({LineBreaks::CrLf, Quotes::Double, Escaping::None})},
        AcceptedCase{
            "EachChoiceOnItsOwn",
            {"--line-breaks", "any", "--escape", "xml", "--quotes", "none", "-o", "out", "a.csv"},
            WithFormat({LineBreaks::Any, Quotes::None, Escaping::Xml})},
        AcceptedCase{"SchemaImpliesEscaping",
                     {"--schema", "s.xsd", "-o", "out", "a.csv"},
                     ForSchema("s.xsd")},
        AcceptedCase{
            "SchemaKeepsAnExplicitXmlEscape",
            {"--format", "standard", "--escape=xml", "--schema=s.xsd", "-o", "out", "a.csv"},
            ForSchema("s.xsd", std::nullopt, CsvFormat::Standard())},
        AcceptedCase{
            "PrintSchemaTakesItsInput", {"--print-schema", "a.csv"}, ForSchema("", "a.csv")},
        AcceptedCase{"InputsAfterDoubleDash",
                     {"-o", "out", "--", "-x.csv", "--no-header"},
                     WithInputs({"-x.csv", "--no-header"})},
        AcceptedCase{"TabByName", {"-s", "tab", "-o", "out", "a.csv"}, WithSeparator("\t")},
        AcceptedCase{"CommaByName", {"-s", "comma", "-o", "out", "a.csv"}, WithSeparator(",")},
        AcceptedCase{
            "SemicolonByName", {"-s", "semicolon", "-o", "out", "a.csv"}, WithSeparator(";")},
        AcceptedCase{"PipeByName", {"--separator=pipe", "-o", "out", "a.csv"}, WithSeparator("|")},
        AcceptedCase{"SpaceByName", {"-s", "space", "-o", "out", "a.csv"}, WithSeparator(" ")},
        AcceptedCase{
            "NameInsideTextIsText", {"-s", "tabs", "-o", "out", "a.csv"}, WithSeparator("tabs")},
        AcceptedCase{"TabEscape", {"-s", "\\t", "-o", "out", "a.csv"}, WithSeparator("\t")},
        AcceptedCase{"BackslashEscape", {"-s", "\\\\", "-o", "out", "a.csv"}, WithSeparator("\\")},
        AcceptedCase{
            "HexEscapes", {"-s", "\\x3B\\x7f|", "-o", "out", "a.csv"}, WithSeparator(";\x7f|")},
        AcceptedCase{"EscapesAmongText",
                     {"-s", "a\\tb\\\\t", "-o", "out", "a.csv"},
                     WithSeparator("a\tb\\t")},
        AcceptedCase{"OutputFile", {"-O", "x.xml", "a.csv"}, ToFile("x.xml")},
        AcceptedCase{"OutputFileLong", {"--output-file=x.xml", "a.csv"}, ToFile("x.xml")},
        AcceptedCase{"StandardInAndOut", {"-", "-O", "-"}, ToFile("-", {"-"})},
        AcceptedCase{"EncodingAuto",
                     {"--encoding", "auto", "-o", "out", "a.csv"},
                     WithEncoding(std::nullopt)},
        AcceptedCase{"EncodingUtf8",
                     {"--encoding=utf-8", "-o", "out", "a.csv"},
                     WithEncoding(Encoding::Utf8)},
        AcceptedCase{"EncodingWindows1252",
                     {"--encoding", "Windows-1252", "-o", "out", "a.csv"},
                     WithEncoding(Encoding::Windows1252)},
        AcceptedCase{"EncodingUtf16le",
                     {"--encoding", "utf-16le", "-o", "out", "a.csv"},
                     WithEncoding(Encoding::Utf16LE)},
        AcceptedCase{"EncodingUtf16be",
                     {"--encoding", "UTF-16BE", "-o", "out", "a.csv"},
                     WithEncoding(Encoding::Utf16BE)},
        AcceptedCase{"Switches",
                     {"-v", "-p", "-n", "-r", "--keep-tree", "--dry-run", "-o", "out", "a.csv"},
                     WithSwitches({true, true, true, true, true, true})},
        AcceptedCase{
            "LongSwitches",
            {"--verbose", "--parents", "--no-clobber", "--recursive", "-o", "out", "a.csv"},
            WithSwitches({true, true, true, true, false, false})},
        AcceptedCase{"RepeatedFlagIsHarmless",
                     {"-r", "-r", "-o", "out", "a.csv"},
                     WithSwitches({false, false, false, true, false, false})}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct RejectedCase {
  const char* name;
  std::vector<std::string> args;
  const char* messagePart;
};

void PrintTo(const RejectedCase& row, std::ostream* out) {
  *out << row.name;
}

class RejectedArguments : public ::testing::TestWithParam<RejectedCase> {};

TEST_P(RejectedArguments, AreAUsageError) {
  const ParsedCommandLine parsed = Parse(GetParam().args);
  ASSERT_TRUE(std::holds_alternative<UsageError>(parsed));
  EXPECT_THAT(std::get<UsageError>(parsed).message, HasSubstr(GetParam().messagePart));
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, RejectedArguments,
    ::testing::Values(
        RejectedCase{"NoOutput", {"a.csv"}, "no output given: -o DIR"},
        RejectedCase{"NoInput", {"-o", "out"}, "no INPUT given"},
        RejectedCase{"OutputWithoutValue", {"a.csv", "-o"}, "--output"},
        RejectedCase{"SeparatorWithoutValue", {"-o", "out", "a.csv", "-s"}, "--separator"},
        RejectedCase{
            "UnknownOption", {"-o", "out", "--bogus", "a.csv"}, "unknown option '--bogus'"},
        RejectedCase{"UnknownOptionAlone", {"--frobnicate"}, "unknown option '--frobnicate'"},
        RejectedCase{"UnknownShortOption", {"-o", "out", "-Z", "a.csv"}, "unknown option '-Z'"},
        RejectedCase{"RepeatedSeparator",
                     {"-s", ";", "-o", "out", "-s", ",", "a.csv"},
                     "--separator is given more than once"},
        RejectedCase{"RepeatedOutput",
                     {"-o", "a", "--output=b", "a.csv"},
                     "--output is given more than once"},
        RejectedCase{"UnknownEscape", {"-s", "\\n", "-o", "out", "a.csv"}, "unknown escape"},
        RejectedCase{"LoneBackslash", {"-s", "a\\", "-o", "out", "a.csv"}, "unknown escape"},
        RejectedCase{"ShortHexEscape", {"-s", "\\x4", "-o", "out", "a.csv"}, "two hexadecimal"},
        RejectedCase{"NonHexEscape", {"-s", "\\xg1", "-o", "out", "a.csv"}, "two hexadecimal"},
        RejectedCase{"HexEscapeAboveAscii", {"-s", "\\xE9", "-o", "out", "a.csv"}, "up to \\x7F"},
        RejectedCase{"SeparatorNotUtf8", {"-s", ";\xE2\x82", "-o", "out", "a.csv"}, "not UTF-8"},
        RejectedCase{"UnknownEncoding",
                     {"--encoding", "latin1", "-o", "out", "a.csv"},
                     "--encoding 'latin1' is not known"},
        RejectedCase{"OutputFolderAndFile",
                     {"-o", "out", "-O", "x.xml", "a.csv"},
                     "-o DIR and -O FILE cannot be used together"},
        RejectedCase{"OutputFileWithTwoInputs",
                     {"-O", "x.xml", "a.csv", "b.csv"},
                     "-O FILE takes exactly one INPUT, but 2 were given"},
        RejectedCase{"StandardInputWithoutOutputFile", {"-o", "out", "-"}, "needs -O FILE"},
        RejectedCase{"RecursiveWithOutputFile",
                     {"-r", "-O", "x.xml", "d"},
                     "-r cannot be used with -O FILE"},
        RejectedCase{"ParentsWithOutputFile",
                     {"-p", "-O", "x.xml", "a.csv"},
                     "-p cannot be used with -O FILE"},
        RejectedCase{
            "KeepTreeWithoutRecursive", {"--keep-tree", "-o", "out", "d"}, "--keep-tree needs -r"},
        RejectedCase{"QuietAndVerbose",
                     {"-q", "-v", "-o", "out", "a.csv"},
                     "-q and -v cannot be used together"},
        RejectedCase{"ZeroJobs", {"-j", "0", "-o", "out", "a.csv"}, "--jobs"},
        RejectedCase{"NegativeJobs", {"-j", "-1", "-o", "out", "a.csv"}, "--jobs"},
        RejectedCase{"TooManyJobs", {"-j", "1025", "-o", "out", "a.csv"}, "--jobs"},
        RejectedCase{"JobsNotANumber", {"-j", "two", "-o", "out", "a.csv"}, "--jobs"},
        RejectedCase{"UnknownFormat", {"--format", "rfc", "-o", "out", "a.csv"}, "--format"},
        RejectedCase{
            "UnknownLineBreaks", {"--line-breaks=lf", "-o", "out", "a.csv"}, "--line-breaks"},
        RejectedCase{"UnknownQuotes", {"--quotes", "single", "-o", "out", "a.csv"}, "--quotes"},
        RejectedCase{"UnknownEscapeChoice", {"--escape", "html", "-o", "out", "a.csv"}, "--escape"},
        RejectedCase{"SchemaWithoutEscaping",
                     {"--schema", "s.xsd", "--escape", "none", "-o", "out", "a.csv"},
                     "--schema needs well-formed XML and cannot be used with --escape none"},
        RejectedCase{"PrintSchemaWithoutEscaping",
                     {"--print-schema", "a.csv", "--escape", "none"},
                     "--print-schema needs well-formed XML"},
        RejectedCase{"RepeatedSchema",
                     {"--schema", "a.xsd", "--schema", "b.xsd", "-o", "out", "a.csv"},
                     "--schema is given more than once"},
        RejectedCase{"PrintSchemaWithOutputFolder",
                     {"--print-schema", "a.csv", "-o", "out"},
                     "--print-schema cannot be used with -o DIR"},
        RejectedCase{"PrintSchemaWithOutputFile",
                     {"--print-schema", "a.csv", "-O", "-"},
                     "--print-schema cannot be used with -O FILE"},
        RejectedCase{"PrintSchemaRecursive", {"-r", "--print-schema", "a.csv"}, "with -r"},
        RejectedCase{"PrintSchemaDryRun", {"--print-schema", "a.csv", "--dry-run"}, "--dry-run"},
        RejectedCase{"PrintSchemaCompressed", {"--print-schema", "a.csv", "--gzip"}, "with --gzip"},
        RejectedCase{
            "PrintSchemaReported", {"--print-schema", "a.csv", "--report", "-"}, "with --report"},
        RejectedCase{"PrintSchemaWithMoreInputs",
                     {"--print-schema", "a.csv", "b.csv"},
                     "no other INPUT may be given"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(CommandLineInfo, NoArgumentsAsksForTheShortUsage) {
  const ParsedCommandLine parsed = Parse({});
  ASSERT_TRUE(std::holds_alternative<UsageError>(parsed));
  EXPECT_TRUE(std::get<UsageError>(parsed).showUsage);
  EXPECT_THAT(ShortUsage(), HasSubstr("rowvane-cli [OPTIONS] -o DIR INPUT..."));
  EXPECT_FALSE(std::get<UsageError>(Parse({"-o", "out"})).showUsage);
}

TEST(CommandLineInfo, HelpNamesEveryOption) {
  for (const char* flag : {"--help", "-h"}) {
    const ParsedCommandLine parsed = Parse({flag});
    ASSERT_TRUE(std::holds_alternative<InfoRequest>(parsed)) << flag;
    const std::string& text = std::get<InfoRequest>(parsed).text;
    for (const char* option :
         {"--output",      "--separator", "--no-header",   "--document-tag", "--row-tag",
          "--no-row-tags", "--jobs",      "--quiet",       "--version",      "INPUT",
          "--output-file", "--encoding",  "--parents",     "--no-clobber",   "--keep-tree",
          "--dry-run",     "--verbose",   "semicolon",     "\\xHH",          "Exit status",
          "SIGPIPE",       "SIGINT",      "--format",      "--line-breaks",  "--quotes",
          "--escape",      "--schema",    "--print-schema"}) {
      EXPECT_THAT(text, HasSubstr(option)) << flag;
    }
  }
}

TEST(CommandLineInfo, HelpWinsOverMissingArguments) {
  EXPECT_TRUE(std::holds_alternative<InfoRequest>(Parse({"-s", ";", "--help"})));
}

TEST(CommandLineInfo, VersionIsProgramNameProjectVersionAndRevision) {
  for (const char* flag : {"--version", "-V"}) {
    const ParsedCommandLine parsed = Parse({flag});
    ASSERT_TRUE(std::holds_alternative<InfoRequest>(parsed)) << flag;
    EXPECT_EQ(std::get<InfoRequest>(parsed).text,
              "rowvane-cli " ROWVANE_VERSION " (revision " ROWVANE_REVISION ")\n");
  }
  EXPECT_STRNE(ROWVANE_REVISION, "");
}

}  // namespace
}  // namespace rowvane::cli
