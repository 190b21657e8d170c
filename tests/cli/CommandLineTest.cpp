#include "cli/CommandLine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
  EXPECT_EQ(options.settings.Format, expected.format);
}

Expected WithFormat(CsvFormat format) {
  Expected expected;
  expected.format = format;
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

Expected WithOutputFolder(std::string folder) {
  Expected expected;
  expected.outputFolder = std::move(folder);
  return expected;
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, AcceptedArguments,
    ::testing::Values(
        AcceptedCase{"Defaults", {"-o", "out", "a.csv"}, Expected{}},
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
        AcceptedCase{"InputsAfterDoubleDash",
                     {"-o", "out", "--", "-x.csv", "--no-header"},
                     WithInputs({"-x.csv", "--no-header"})}),
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
        RejectedCase{"Nothing", {}, "required"}, RejectedCase{"NoOutput", {"a.csv"}, "--output"},
        RejectedCase{"NoInput", {"-o", "out"}, "INPUT"},
        RejectedCase{"OutputWithoutValue", {"a.csv", "-o"}, "--output"},
        RejectedCase{"SeparatorWithoutValue", {"-o", "out", "a.csv", "-s"}, "--separator"},
        RejectedCase{"UnknownOption", {"-o", "out", "--bogus", "a.csv"}, "--bogus"},
        RejectedCase{"ZeroJobs", {"-j", "0", "-o", "out", "a.csv"}, "--jobs"},
        RejectedCase{"NegativeJobs", {"-j", "-1", "-o", "out", "a.csv"}, "--jobs"},
        RejectedCase{"TooManyJobs", {"-j", "1025", "-o", "out", "a.csv"}, "--jobs"},
        RejectedCase{"JobsNotANumber", {"-j", "two", "-o", "out", "a.csv"}, "--jobs"},
        RejectedCase{"UnknownFormat", {"--format", "rfc", "-o", "out", "a.csv"}, "--format"},
        RejectedCase{
            "UnknownLineBreaks", {"--line-breaks=lf", "-o", "out", "a.csv"}, "--line-breaks"},
        RejectedCase{"UnknownQuotes", {"--quotes", "single", "-o", "out", "a.csv"}, "--quotes"},
        RejectedCase{"UnknownEscape", {"--escape", "html", "-o", "out", "a.csv"}, "--escape"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(CommandLineInfo, HelpNamesEveryOption) {
  for (const char* flag : {"--help", "-h"}) {
    const ParsedCommandLine parsed = Parse({flag});
    ASSERT_TRUE(std::holds_alternative<InfoRequest>(parsed)) << flag;
    const std::string& text = std::get<InfoRequest>(parsed).text;
    for (const char* option : {"--output", "--separator", "--no-header", "--document-tag",
                               "--row-tag", "--no-row-tags", "--jobs", "--quiet", "--version",
                               "--format", "--line-breaks", "--quotes", "--escape", "INPUT"}) {
      EXPECT_THAT(text, HasSubstr(option)) << flag;
    }
  }
}

TEST(CommandLineInfo, HelpWinsOverMissingArguments) {
  EXPECT_TRUE(std::holds_alternative<InfoRequest>(Parse({"-s", ";", "--help"})));
}

TEST(CommandLineInfo, VersionIsProgramNameAndProjectVersion) {
  const ParsedCommandLine parsed = Parse({"--version"});
  ASSERT_TRUE(std::holds_alternative<InfoRequest>(parsed));
  EXPECT_EQ(std::get<InfoRequest>(parsed).text, "rowvane-cli " ROWVANE_VERSION "\n");
  EXPECT_EQ(VersionText(), "rowvane-cli " ROWVANE_VERSION);
}

}  // namespace
}  // namespace rowvane::cli
