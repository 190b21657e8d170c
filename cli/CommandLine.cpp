#include "cli/CommandLine.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>
#include <vector>

#ifndef ROWVANE_VERSION
#error "ROWVANE_VERSION must be defined by the build"
#endif

namespace rowvane::cli {
namespace {

constexpr const char* kProgramName = "rowvane-cli";
constexpr unsigned kMostJobs = 1024;

// Options that take a value, by long name and by short letter. A new option
// that takes a value must be listed here as well.
constexpr std::array<std::string_view, 9> kLongValueOptions = {
    "--output", "--separator",   "--document-tag", "--row-tag", "--jobs",
    "--format", "--line-breaks", "--quotes",       "--escape"};
constexpr std::string_view kShortValueOptions = "osj";

bool IsLongValueOption(std::string_view name) {
  return std::find(kLongValueOptions.begin(), kLongValueOptions.end(), name) !=
         kLongValueOptions.end();
}

// True when `arg` is a cluster of short options (like "-qs") whose last
// option wants a value that was not attached to it.
bool ShortClusterWantsValue(std::string_view arg) {
  for (std::size_t i = 1; i < arg.size(); ++i) {
    if (kShortValueOptions.find(arg[i]) != std::string_view::npos) {
      return i + 1 == arg.size();  // anything after the letter is its value
    }
  }
  return false;
}

// CLI11 reads "--separator=" as the option without a value and then takes the
// next argument in its place. Splitting every "--name=value" of a
// value-taking option into two arguments keeps an empty value empty; CLI11
// always takes the argument after such an option as its value.
std::vector<std::string> SplitAttachedValues(std::vector<std::string> args) {
  std::vector<std::string> result;
  result.reserve(args.size());
  bool nextIsValue = false;
  bool onlyInputsFollow = false;
  for (std::string& arg : args) {
    const std::string_view view = arg;
    if (nextIsValue || onlyInputsFollow) {
      nextIsValue = false;
      result.push_back(std::move(arg));
      continue;
    }
    if (view == "--") {
      onlyInputsFollow = true;
    } else if (view.starts_with("--")) {
      const std::size_t equals = view.find('=');
      if (equals == std::string_view::npos) {
        nextIsValue = IsLongValueOption(view);
      } else if (IsLongValueOption(view.substr(0, equals))) {
        result.emplace_back(view.substr(0, equals));
        result.emplace_back(view.substr(equals + 1));
        continue;
      }
    } else if (view.size() > 1 && view[0] == '-') {
      nextIsValue = ShortClusterWantsValue(view);
    }
    result.push_back(std::move(arg));
  }
  return result;
}

// Values CLI11 writes into while parsing; turned into CliOptions afterwards.
struct RawArguments {
  CliOptions options;
  std::string outputFolder;
  unsigned jobs = 0;
  std::string format = "classic";
  std::string lineBreaks;
  std::string quotes;
  std::string escape;
};

// The choices of the CSV format: a preset, then any choice set on its own.
void DescribeFormatOptions(CLI::App& app, RawArguments& raw) {
  app.add_option("--format", raw.format,
                 "classic: CR LF lines, no quoting, no escaping; standard: any, double, xml.")
      ->check(CLI::IsMember({"classic", "standard"}))
      ->capture_default_str();
  app.add_option("--line-breaks", raw.lineBreaks,
                 "crlf: only CR LF ends a line; any: CR LF, LF or CR, empty lines skipped.")
      ->check(CLI::IsMember({"crlf", "any"}));
  app.add_option("--quotes", raw.quotes,
                 "none: quotes are ordinary; double: \"a,b\" is one value, \"\" in it one \".")
      ->check(CLI::IsMember({"none", "double"}));
  app.add_option("--escape", raw.escape,
                 "none: names and values as typed; xml: & < > escaped, names fixed.")
      ->check(CLI::IsMember({"none", "xml"}));
}

CsvFormat FormatOf(const RawArguments& raw) {
  CsvFormat format = raw.format == "standard" ? CsvFormat::Standard() : CsvFormat::Classic();
  if (!raw.lineBreaks.empty()) {
    format.lineBreaks = raw.lineBreaks == "any" ? LineBreaks::Any : LineBreaks::CrLf;
  }
  if (!raw.quotes.empty()) {
    format.quotes = raw.quotes == "double" ? Quotes::Double : Quotes::None;
  }
  if (!raw.escape.empty()) {
    format.escaping = raw.escape == "xml" ? Escaping::Xml : Escaping::None;
  }
  return format;
}

void DescribeOptions(CLI::App& app, RawArguments& raw) {
  ConversionSettings& settings = raw.options.settings;
  app.description(
      "Converts CSV files into XML files. Each INPUT becomes one file in DIR, named\n"
      "after the input without its last dot and what follows, plus \".xml\"; an existing\n"
      "file of that name is replaced. Inputs are converted in the order given, and\n"
      "when two inputs map to the same output, the later one wins.");
  app.footer(
      "By default lines end with CR LF; fields are split at the separator exactly as\n"
      "typed (no quoting, no trimming). Names and values are written into the XML\n"
      "unescaped. --format standard reads the CSV most programs write.\n"
      "An input named without a dot is reported, and its output is written as its\n"
      "whole name plus \".xml\".\n"
      "\n"
      "Messages show names escaped: a backslash as \\\\, tab, line feed and carriage\n"
      "return as \\t, \\n and \\r, other control characters and bytes that are not\n"
      "UTF-8 as \\xHH (two hex digits).\n"
      "\n"
      "Exit status: 0 when every input was converted, 1 when any input failed or was\n"
      "missing, 2 for bad usage or a missing output folder.");

  app.add_option("-o,--output", raw.outputFolder, "Output folder; it must exist. Used as typed.")
      ->type_name("DIR")
      ->required();
  app.add_option("-s,--separator", settings.Separator,
                 "Separating character or characters, taken as typed: may be several\n"
                 "characters, a space, or empty (each line is then one field).")
      ->type_name("TEXT")
      ->capture_default_str();
  app.add_flag_callback(
      "--no-header", [&settings] { settings.HasHeaderRow = false; },
      "The first line is data, not field names; fields are named\nheader1, header2, ...");
  app.add_option("--document-tag", settings.DocumentTag,
                 "Name of the element around the whole document; may be empty.")
      ->type_name("TEXT")
      ->capture_default_str();
  app.add_option("--row-tag", settings.RowTag,
                 "Name of the element around the fields of one record; may be empty.")
      ->type_name("TEXT")
      ->capture_default_str();
  DescribeFormatOptions(app, raw);
  app.add_flag_callback(
      "--no-row-tags", [&settings] { settings.IncludeRowTags = false; },
      "Write the fields of all records directly inside the document element.");
  app.add_option("-j,--jobs", raw.jobs,
                 "Number of files converted at once (default: one per processor).")
      ->type_name("N")
      ->check(CLI::Range(1U, kMostJobs));
  app.add_flag("-q,--quiet", raw.options.quiet, "No progress display.");
  app.add_flag("-r,--recursive", raw.options.recursive,
               "An INPUT that is a folder adds its *.csv files and those of every\n"
               "folder below it, as the window's folder button does: system\n"
               "folders, hidden files, names starting with ~ and files that\n"
               "cannot be opened are left out.\n"
               "Without -r a folder INPUT is an error.");
  app.set_version_flag("--version", VersionText(), "Print the version and exit.");
  app.add_option("INPUT", raw.options.inputs, "CSV files to convert (folders with -r).")
      ->required();
}

CliOptions FinishOptions(const CLI::App& app, RawArguments raw) {
  CliOptions options = std::move(raw.options);
  options.outputFolder = std::move(raw.outputFolder);
  options.settings.Format = FormatOf(raw);
  if (app.count("--jobs") > 0) {
    options.jobs = raw.jobs;
  }
  return options;
}

}  // namespace

std::string VersionText() {
  return std::string(kProgramName) + " " + ROWVANE_VERSION;
}

ParsedCommandLine ParseCommandLine(int argc, const char* const argv[]) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    args.emplace_back(argv[i]);
  }
  args = SplitAttachedValues(std::move(args));
  std::reverse(args.begin(), args.end());  // CLI11 takes its arguments last first

  CLI::App app;
  app.name(kProgramName);
  RawArguments raw;
  DescribeOptions(app, raw);
  try {
    app.parse(args);
  } catch (const CLI::CallForHelp&) {
    return InfoRequest{app.help()};
  } catch (const CLI::CallForAllHelp&) {
    return InfoRequest{app.help()};
  } catch (const CLI::CallForVersion& version) {
    return InfoRequest{std::string(version.what()) + "\n"};
  } catch (const CLI::ParseError& error) {
    return UsageError{error.what()};
  }
  return FinishOptions(app, std::move(raw));
}

}  // namespace rowvane::cli
