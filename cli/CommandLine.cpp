#include "cli/CommandLine.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/SamePath.h"
#include "cli/TypedSeparator.h"
#include "engine/Settings.h"

#ifndef ROWVANE_VERSION
#error "ROWVANE_VERSION must be defined by the build"
#endif
#ifndef ROWVANE_REVISION
#error "ROWVANE_REVISION must be defined by the build"
#endif

namespace rowvane::cli {
namespace {

constexpr const char* kProgramName = "rowvane-cli";
constexpr unsigned kMostJobs = 1024;

// Options that take a value, by long name and by short letter. A new option
// that takes a value must be listed here as well.
constexpr std::array<std::string_view, 24> kLongValueOptions = {
    "--output",   "--output-file", "--separator",   "--document-tag", "--row-tag", "--jobs",
    "--encoding", "--format",      "--line-breaks", "--quotes",       "--escape",  "--shard",
    "--report",   "--gzip-level",  "--schema",      "--print-schema", "--watch",   "--done",
    "--failed",   "--settle",      "--layout",      "--template",     "--types",   "--param"};
// The one option given once per name it sets.
constexpr std::string_view kParameterOption = "--param";
// --gzip takes its level only attached ("--gzip=9"), so that "--gzip a.csv"
// keeps a.csv an input; the attached level travels as a hidden option.
constexpr std::string_view kGzipWithLevel = "--gzip=";
constexpr int kDefaultGzipLevel = 6;
constexpr std::string_view kShortValueOptions = "oOsj";

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
    } else if (view.starts_with(kGzipWithLevel)) {
      result.emplace_back("--gzip");
      result.emplace_back("--gzip-level");
      result.emplace_back(view.substr(kGzipWithLevel.size()));
      continue;
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
  std::string outputFile;
  std::string separator = ",";
  std::string encoding = "auto";
  unsigned jobs = 0;
  std::string format{WordOf(kFormatPresetWords, CsvFormat::Classic())};
  std::string lineBreaks;
  std::string quotes;
  std::string escape;
  std::string shard;
  std::string reportFile;
  std::string watchedInbox;
  std::string doneFolder;
  std::string failedFolder;
  bool gzip = false;
  int gzipLevel = kDefaultGzipLevel;
  std::string schema;
  std::string printSchemaOf;
  std::string types = "inferred";
  std::string layout{WordOf(kLayoutWords, OutputLayout::Elements)};
  std::string templateFile;
  std::vector<std::string> parameters;
};

// The words of a format choice, as CLI11 checks a value against them.
template <typename Choice, std::size_t N>
std::vector<std::string> WordsOf(const std::array<FormatWord<Choice>, N>& words) {
  std::vector<std::string> spelled;
  for (const FormatWord<Choice>& each : words) {
    spelled.emplace_back(each.word);
  }
  return spelled;
}

bool EscapingTurnedOff(const RawArguments& raw) {
  return ChoiceNamed(kEscapingWords, raw.escape) == Escaping::None;
}

// The choices of the CSV format: a preset, then any choice set on its own.
void DescribeFormatOptions(CLI::App& app, RawArguments& raw) {
  app.add_option("--format", raw.format,
                 "classic: CR LF lines, no quoting, no escaping; standard: any, double, xml.")
      ->check(CLI::IsMember(WordsOf(kFormatPresetWords)))
      ->capture_default_str();
  app.add_option("--line-breaks", raw.lineBreaks,
                 "crlf: only CR LF ends a line; any: CR LF, LF or CR, empty lines skipped.")
      ->check(CLI::IsMember(WordsOf(kLineBreaksWords)));
  app.add_option("--quotes", raw.quotes,
                 "none: quotes are ordinary; double: \"a,b\" is one value, \"\" in it one \".")
      ->check(CLI::IsMember(WordsOf(kQuotesWords)));
  app.add_option("--escape", raw.escape,
                 "none: names and values as typed; xml: & < > escaped, names fixed.")
      ->check(CLI::IsMember(WordsOf(kEscapingWords)));
}

// The shape of the XML: elements, attributes or a template.
void DescribeLayoutOptions(CLI::App& app, RawArguments& raw) {
  app.add_option("--layout", raw.layout,
                 "elements: an element per field; attributes: an empty row element\n"
                 "per record with its fields as attributes (implies --escape xml).")
      ->check(CLI::IsMember({std::string(WordOf(kLayoutWords, OutputLayout::Elements)),
                             std::string(WordOf(kLayoutWords, OutputLayout::FieldsAsAttributes))}))
      ->capture_default_str();
  app.add_option("--template", raw.templateFile,
                 "Write each input through the template FILE: XML showing one\n"
                 "record's output, {Name} or {#N} where values go (see LAYOUTS\n"
                 "in rowvane-cli(1)). Implies --escape xml.")
      ->type_name("FILE");
  app.add_option("--param", raw.parameters,
                 "The value param('NAME') gives in the template's expressions; one\n"
                 "--param per name (--param NAME= gives the empty text).")
      ->type_name("NAME=VALUE")
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_flag("--print-template", raw.options.printTemplate,
               "Write to standard output a template that gives the escaped element\n"
               "layout of the one INPUT with the options given; a start for your own.");
}

CsvFormat FormatOf(const RawArguments& raw) {
  // CLI11 has checked every word given against the same lists.
  CsvFormat format = ChoiceNamed(kFormatPresetWords, raw.format).value_or(CsvFormat::Classic());
  format.lineBreaks = ChoiceNamed(kLineBreaksWords, raw.lineBreaks).value_or(format.lineBreaks);
  format.quotes = ChoiceNamed(kQuotesWords, raw.quotes).value_or(format.quotes);
  format.escaping = ChoiceNamed(kEscapingWords, raw.escape).value_or(format.escaping);
  return format;
}

struct NamedEncoding {
  std::string_view name;
  std::optional<Encoding> encoding;
};

constexpr std::array<NamedEncoding, 5> kEncodings = {{{"auto", std::nullopt},
                                                      {"utf-8", Encoding::Utf8},
                                                      {"windows-1252", Encoding::Windows1252},
                                                      {"utf-16le", Encoding::Utf16LE},
                                                      {"utf-16be", Encoding::Utf16BE}}};

std::string Lowercase(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

// Help shows both ways of calling the program, not one line made up from the options.
class HelpFormatter : public CLI::Formatter {
 public:
  std::string make_usage(const CLI::App*, std::string) const override {
    return "\n" + ShortUsage();
  }
};

// Options for job runners and pipelines: a machine-readable report,
// compressed outputs, one share of a batch split over several runs.
void DescribePipelineOptions(CLI::App& app, RawArguments& raw) {
  app.add_option("--report", raw.reportFile,
                 "Write one JSON line per input, then one of totals, to FILE\n"
                 "(\"-\": standard error, which then has no other messages).")
      ->type_name("FILE");
  app.add_flag("--gzip", raw.gzip,
               "Write each output gzip-compressed, named with \".gz\" added;\n"
               "--gzip=LEVEL chooses the level from 1 (fast) to 9 (small), default 6.");
  app.add_option("--gzip-level", raw.gzipLevel)->check(CLI::Range(1, 9))->group("");
  app.add_option("--shard", raw.shard,
                 "Convert only share K (from 0) of N: the inputs whose output path\n"
                 "below DIR hashes (FNV-1a, 64 bits) to K modulo N. auto: K and N\n"
                 "from the Slurm array task; auto/N: K from the Slurm array task\n"
                 "or from a Kubernetes Indexed Job (JOB_COMPLETION_INDEX).")
      ->type_name("K/N");
  app.add_flag("--merge-reports", raw.options.mergeReports,
               "Read the INPUTs as --report files (\"-\": standard input) of the\n"
               "shares of one batch and write one totals line for them all; say\n"
               "on standard error what failed and what is missing. Exit 3 when a\n"
               "share or a report's end is missing, or an input is in two reports.");
}

// The hot folder: options that only make sense with --watch.
void DescribeWatchOptions(CLI::App& app, RawArguments& raw) {
  app.add_option("--watch", raw.watchedInbox,
                 "Keep converting the CSV files dropped into INBOX (and its\n"
                 "sub-folders with -r) until stopped by SIGINT or SIGTERM.")
      ->type_name("INBOX");
  app.add_option("--done", raw.doneFolder, "With --watch: move each converted input into DIR.")
      ->type_name("DIR");
  app.add_option("--failed", raw.failedFolder,
                 "With --watch: move each failed input into DIR, with\n"
                 "NAME.error.txt beside it giving the reason.")
      ->type_name("DIR");
  app.add_option("--settle", raw.options.settleSeconds,
                 "With --watch: a ready input is taken once it has been quiet\n"
                 "for SECONDS (default 2).")
      ->check(CLI::Range(0.0, 86400.0))
      ->type_name("SECONDS");
}

void DescribeOptions(CLI::App& app, RawArguments& raw) {
  app.formatter(std::make_shared<HelpFormatter>());
  ConversionSettings& settings = raw.options.settings;
  app.description(
      "Converts CSV files into XML files. Each INPUT becomes one file in DIR, named\n"
      "after the input without its last dot and what follows, plus \".xml\"; an existing\n"
      "file of that name is replaced. Inputs are converted in the order given, and\n"
      "when two inputs map to the same output, the later one wins (with a warning).\n"
      "With -O, the one INPUT is written to FILE instead; \"-\" as INPUT reads\n"
      "standard input and \"-O -\" writes standard output.");
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
      "Separators: a name (tab, comma, semicolon, pipe, space), or text taken as\n"
      "typed, where \\t is a tab, \\\\ a backslash and \\xHH the character of that\n"
      "hexadecimal code (up to \\x7F); any other backslash is refused.\n"
      "\n"
      "On a terminal, progress is shown on standard error and a summary closes the\n"
      "run: \"N converted, M failed in T s (X MB/s)\" (also with -v).\n"
      "\n"
      "Examples:\n"
      "  rowvane-cli -o out a.csv b.csv\n"
      "  rowvane-cli -r --keep-tree -p -o out data/\n"
      "  curl -s URL | rowvane-cli -s tab - -O - | xmllint --format -\n"
      "\n"
      "Exit status:\n"
      "  0    every input was converted\n"
      "  1    an input failed, was missing or was not replaced (-n)\n"
      "  2    bad usage, or the output folder cannot be used\n"
      "  3    --merge-reports: a share, a report's end or an input is missing\n"
      "  141  (a shell's 128 + SIGPIPE) the reader of standard output went away;\n"
      "       the program ended quietly by SIGPIPE, as filters do\n"
      "  129, 130, 143  (128 + SIGHUP, SIGINT, SIGTERM) stopped by that signal,\n"
      "       after removing its unfinished outputs\n");

  app.add_option("-o,--output", raw.outputFolder,
                 "Output folder; it must exist (see -p). Used as typed.")
      ->type_name("DIR");
  app.add_option("-O,--output-file", raw.outputFile,
                 "Write the one INPUT's XML to FILE: a regular file is replaced\n"
                 "whole when complete; anything else (/dev/null, a pipe, a\n"
                 "terminal) is written in place; \"-\" is standard output.")
      ->type_name("FILE");
  app.add_flag("-p,--parents", raw.options.parents,
               "Create the output folder, and the folders above it, when missing.");
  app.add_option("-s,--separator", raw.separator,
                 "Separator between fields: a name or text (see below); may be\n"
                 "several characters, or empty (each line is then one field).")
      ->type_name("TEXT")
      ->capture_default_str();
  app.add_option("--encoding", raw.encoding,
                 "Encoding of the inputs: auto (a byte-order mark, else UTF-8 if\n"
                 "valid, else windows-1252), utf-8 (ill-formed bytes become U+FFFD,\n"
                 "with a warning), windows-1252, utf-16le or utf-16be.")
      ->type_name("NAME")
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
  DescribeLayoutOptions(app, raw);
  app.add_flag("-n,--no-clobber", raw.options.noClobber,
               "Never replace an existing output; each refusal is reported. Of\n"
               "inputs with the same output, the first is then kept.");
  app.add_flag("--update", raw.options.update,
               "Leave an input whose output is not older than it (to the\n"
               "nanosecond); the report says \"up to date\". Of inputs with the\n"
               "same output only the last is converted, as it would win.");
  app.add_flag("--no-sync", raw.options.noSync,
               "Do not flush the outputs to the disk. Each output still appears whole\n"
               "under its name or not at all, and an earlier output still stays\n"
               "when a conversion fails, but a system crash or power loss in the\n"
               "next minute or so may lose outputs reported as converted: such an\n"
               "output may be missing, empty, or the earlier file of that name.\n"
               "For scratch outputs that can be made again.");
  app.add_flag("-r,--recursive", raw.options.recursive,
               "An INPUT that is a folder adds its *.csv files and those of every\n"
               "folder below it, as the window's folder button does: system\n"
               "folders, hidden files, names starting with ~ and files that\n"
               "cannot be opened are left out.\n"
               "Without -r a folder INPUT is an error.");
  app.add_flag("--keep-tree", raw.options.keepTree,
               "With -r: write each output into the same sub-folder of DIR as its\n"
               "input has below the INPUT folder (created as needed).");
  app.add_option("--schema", raw.schema,
                 "Check every output against this W3C XML Schema while it is\n"
                 "written; an output that does not match fails its input and\n"
                 "does not take its name. Implies --escape xml.")
      ->type_name("FILE");
  app.add_option("--print-schema", raw.printSchemaOf,
                 "Print a schema that every output of INPUT with these options\n"
                 "matches, for INPUT's field names; convert nothing.")
      ->type_name("INPUT");
  app.add_option("--types", raw.types,
                 "With --print-schema: inferred: each field the narrowest of\n"
                 "xs:integer, xs:decimal, xs:boolean, xs:date, xs:dateTime that\n"
                 "all its values match (INPUT is read whole); text: xs:string.")
      ->check(CLI::IsMember({"inferred", "text"}))
      ->capture_default_str();
  app.add_flag("--dry-run", raw.options.dryRun,
               "List each input and its output (on standard output), with the\n"
               "warnings; convert nothing.");
  app.add_option("-j,--jobs", raw.jobs,
                 "Number of files converted at once (default: one per processor).")
      ->type_name("N")
      ->check(CLI::Range(1U, kMostJobs));
  DescribePipelineOptions(app, raw);
  DescribeWatchOptions(app, raw);
  app.add_flag("-q,--quiet", raw.options.quiet, "No progress display and no summary.");
  app.add_flag("-v,--verbose", raw.options.verbose,
               "The summary also when standard error is not a terminal.");
  app.set_version_flag("-V,--version", VersionText(),
                       "Print the version and the build's revision, and exit.");
  app.add_option("INPUT", raw.options.inputs,
                 "CSV files to convert (folders with -r; \"-\" for standard input).");
  // Repeats are allowed through here and said in plain words afterwards;
  // --param is repeated by design, once per name, and keeps every value.
  for (CLI::Option* option : app.get_options()) {
    if (option->get_name() != kParameterOption) {
      option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    }
  }
  app.allow_extras();
}

std::optional<std::string> UnknownOptionIn(const std::vector<std::string>& extras) {
  for (const std::string& extra : extras) {
    // CLI11 leaves the "--" that ends the options among the extras.
    if (extra.size() > 1 && extra.front() == '-' && extra != "--") {
      return extra;
    }
  }
  return std::nullopt;
}

std::optional<std::string> RepeatedOption(const CLI::App& app) {
  for (const std::string_view name : kLongValueOptions) {
    if (name != kParameterOption && app.count(std::string(name)) > 1) {
      return std::string(name);
    }
  }
  return std::nullopt;
}

bool Has(const CLI::App& app, const char* name) {
  return app.count(name) > 0;
}

// --print-schema reads one input and writes to standard output only.
std::optional<std::string> PrintSchemaProblem(const CLI::App& app, const CliOptions& options) {
  constexpr std::array<std::pair<const char*, const char*>, 9> kRefused = {
      {{"--output", "-o DIR"},
       {"--print-template", "--print-template"},
       {"--output-file", "-O FILE"},
       {"--recursive", "-r"},
       {"--dry-run", "--dry-run"},
       {"--schema", "--schema"},
       {"--report", "--report"},
       {"--shard", "--shard"},
       {"--gzip", "--gzip"}}};
  for (const auto& [option, shown] : kRefused) {
    if (Has(app, option)) {
      return std::string("--print-schema cannot be used with ") + shown;
    }
  }
  if (!options.inputs.empty()) {
    return "--print-schema takes its one INPUT as its value; no other INPUT may be given";
  }
  return std::nullopt;
}

// --print-template writes one template to standard output and converts nothing.
std::optional<std::string> PrintTemplateProblem(const CLI::App& app, const CliOptions& options) {
  if (options.inputs.size() != 1) {
    return "--print-template takes exactly one INPUT, but " +
           std::to_string(options.inputs.size()) + " were given";
  }
  constexpr std::array<std::pair<const char*, const char*>, 9> kRefused = {{
      {"--output", "-o"},
      {"--output-file", "-O"},
      {"--recursive", "-r"},
      {"--parents", "-p"},
      {"--dry-run", "--dry-run"},
      {"--no-row-tags", "--no-row-tags"},
      {"--template", "--template"},
      {"--layout", "--layout"},
      {"--keep-tree", "--keep-tree"},
  }};
  for (const auto& [name, shown] : kRefused) {
    if (Has(app, name)) {
      return std::string("--print-template cannot be used with ") + shown +
             ": it writes the element layout's template to standard output";
    }
  }
  return std::nullopt;
}

// A watched inbox has no inputs of its own and nothing to list or split.
std::optional<std::string> WatchCombinationProblem(const CLI::App& app, const CliOptions& options) {
  if (!Has(app, "--watch")) {
    for (const char* option : {"--done", "--failed", "--settle"}) {
      if (Has(app, option)) {
        return std::string(option) + " needs --watch INBOX";
      }
    }
    return std::nullopt;
  }
  if (!options.inputs.empty()) {
    return "--watch takes its inputs from INBOX; give no INPUT";
  }
  for (const char* option : {"--output-file", "--dry-run", "--shard", "--update"}) {
    if (Has(app, option)) {
      return std::string(option == std::string_view("--output-file") ? "-O" : option) +
             " cannot be used with --watch";
    }
  }
  if (!Has(app, "--output")) {
    return "--watch needs -o DIR for the outputs";
  }
  return std::nullopt;
}

// Layouts other than the element layout always write well-formed XML, and a
// template names every element itself.
std::optional<std::string> LayoutProblem(const CLI::App& app, const RawArguments& raw) {
  const bool withTemplate = Has(app, "--template");
  if (withTemplate) {
    for (const char* name : {"--layout", "--no-row-tags", "--row-tag", "--document-tag"}) {
      if (Has(app, name)) {
        return std::string("--template cannot be used with ") + name +
               ": the template names everything";
      }
    }
  }
  const bool attributes = ChoiceNamed(kLayoutWords, raw.layout) == OutputLayout::FieldsAsAttributes;
  if (attributes && Has(app, "--no-row-tags")) {
    return "--layout attributes cannot be used with --no-row-tags: each record is a row element";
  }
  const char* wellFormed = withTemplate                ? "--template"
                           : attributes                ? "--layout attributes"
                           : raw.options.printTemplate ? "--print-template"
                                                       : nullptr;
  if (wellFormed != nullptr && EscapingTurnedOff(raw)) {
    return std::string(wellFormed) +
           " writes well-formed XML, so it cannot be used with --escape none";
  }
  return std::nullopt;
}

// Merging reports reads its INPUTs and takes no other option.
std::optional<std::string> MergeReportsProblem(const CLI::App& app, const CliOptions& options) {
  for (const CLI::Option* option : app.get_options()) {
    const std::string& name = option->get_name();
    if (option->count() > 0 && name != "--merge-reports" && name != "INPUT") {
      return "--merge-reports takes no other option, but " + name + " was given";
    }
  }
  if (options.inputs.empty()) {
    return "--merge-reports needs the reports to merge";
  }
  return std::nullopt;
}

// Checks that the options fit together; the message names what is wrong.
std::optional<std::string> CombinationProblem(const CLI::App& app, const CliOptions& options) {
  if (options.mergeReports) {
    return MergeReportsProblem(app, options);
  }
  if (Has(app, "--print-schema")) {
    return PrintSchemaProblem(app, options);
  }
  if (options.printTemplate) {
    return PrintTemplateProblem(app, options);
  }
  const bool toFile = Has(app, "--output-file");
  const auto standardInputs =
      std::count(options.inputs.begin(), options.inputs.end(), kStandardStream);
  if (options.keepTree && !options.recursive) {
    return "--keep-tree needs -r";
  }
  if (options.quiet && options.verbose) {
    return "-q and -v cannot be used together";
  }
  if (auto problem = WatchCombinationProblem(app, options); problem || Has(app, "--watch")) {
    return problem;
  }
  if (options.inputs.empty()) {
    return "no INPUT given";
  }
  if (toFile && Has(app, "--output")) {
    return "-o DIR and -O FILE cannot be used together";
  }
  if (!toFile && !Has(app, "--output")) {
    return "no output given: -o DIR for an output folder, or -O FILE for one output file";
  }
  if (toFile && options.inputs.size() > 1) {
    return "-O FILE takes exactly one INPUT, but " + std::to_string(options.inputs.size()) +
           " were given";
  }
  if (standardInputs > 0 && !toFile) {
    return "\"-\" (standard input) needs -O FILE: there is no name to write its output under";
  }
  if (toFile && (options.recursive || options.parents)) {
    return std::string(options.recursive ? "-r" : "-p") + " cannot be used with -O FILE";
  }
  if (Has(app, "--shard") && toFile) {
    return "--shard cannot be used with -O FILE";
  }
  if (options.update && toFile) {
    return "--update cannot be used with -O FILE";
  }
  return std::nullopt;
}

std::variant<std::optional<Encoding>, UsageError> EncodingNamed(const std::string& typed) {
  const std::string name = Lowercase(typed);
  for (const NamedEncoding& named : kEncodings) {
    if (name == named.name) {
      return named.encoding;
    }
  }
  return UsageError{"--encoding '" + typed +
                    "' is not known; use auto, utf-8, windows-1252, utf-16le or utf-16be"};
}

// The report must not be read or overwritten by the run it describes; the
// outputs of a batch are checked once they are named.
bool ReportIsInputOrOutputFile(const CliOptions& options, const std::string& report) {
  const auto sameFile = [&report](const std::string& path) { return SamePath(path, report); };
  return (options.outputFile && sameFile(*options.outputFile)) ||
         std::any_of(options.inputs.begin(), options.inputs.end(), sameFile);
}

ParsedCommandLine AddPipelineOptions(const CLI::App& app, const RawArguments& raw,
                                     CliOptions options) {
  if (Has(app, "--shard")) {
    options.autoShard = AutoShardFromTyped(raw.shard);
    options.shard = ShardFromTyped(raw.shard);
    if (!options.shard && !options.autoShard) {
      return UsageError{"--shard '" + raw.shard +
                        "' is not a share: give K/N with whole numbers, 0 <= K < N, "
                        "or auto, or auto/N"};
    }
  }
  if (raw.gzip || Has(app, "--gzip-level")) {
    options.settings.GzipLevel = raw.gzipLevel;
  }
  options.settings.GunzipInputsByName = true;
  if (Has(app, "--report")) {
    if (raw.reportFile.empty()) {
      return UsageError{"--report needs a FILE (\"-\" for standard error)"};
    }
    if (raw.reportFile != kStandardStream && ReportIsInputOrOutputFile(options, raw.reportFile)) {
      return UsageError{"--report '" + raw.reportFile + "' is an input or an output of this run"};
    }
    options.reportFile = raw.reportFile;
  }
  return options;
}

ParsedCommandLine FinishOptions(const CLI::App& app, RawArguments raw) {
  if (const auto unknown = UnknownOptionIn(app.remaining())) {
    return UsageError{"unknown option '" + *unknown + "'"};
  }
  if (const auto repeated = RepeatedOption(app)) {
    return UsageError{*repeated + " is given more than once; give it once"};
  }
  if (auto problem = LayoutProblem(app, raw)) {
    return UsageError{std::move(*problem)};
  }
  CliOptions options = std::move(raw.options);
  if (auto problem = CombinationProblem(app, options)) {
    return UsageError{std::move(*problem)};
  }
  auto separator = SeparatorFromTyped(raw.separator);
  if (auto* problem = std::get_if<SeparatorProblem>(&separator)) {
    return UsageError{std::move(problem->message)};
  }
  options.settings.Separator = std::move(std::get<std::string>(separator));
  if (const auto problem = SettingsProblem(options.settings)) {
    // The message is escaped for display where it is printed.
    return UsageError{"--separator '" + options.settings.Separator + "': " + std::string(*problem) +
                      "; type it as UTF-8 text"};
  }
  auto encoding = EncodingNamed(raw.encoding);
  if (auto* problem = std::get_if<UsageError>(&encoding)) {
    return std::move(*problem);
  }
  options.settings.InputEncoding = std::get<std::optional<Encoding>>(encoding);
  options.outputFolder = std::move(raw.outputFolder);
  options.settings.Format = FormatOf(raw);
  if (Has(app, "--schema") || Has(app, "--print-schema")) {
    // Only well-formed output can match a schema.
    if (EscapingTurnedOff(raw)) {
      return UsageError{std::string(Has(app, "--schema") ? "--schema" : "--print-schema") +
                        " needs well-formed XML and cannot be used with --escape none"};
    }
    options.schema = std::move(raw.schema);
  }
  if (Has(app, "--print-schema")) {
    options.printSchemaOf = std::move(raw.printSchemaOf);
    options.textTypes = raw.types == "text";
  } else if (Has(app, "--types")) {
    return UsageError{"--types goes with --print-schema only"};
  }
  if (Has(app, "--param") && !Has(app, "--template")) {
    return UsageError{"--param goes with --template only"};
  }
  for (const std::string& parameter : raw.parameters) {
    const std::size_t equals = parameter.find('=');
    if (equals == std::string::npos || equals == 0) {
      return UsageError{"--param " + parameter + ": give NAME=VALUE"};
    }
    const std::string name = parameter.substr(0, equals);
    if (!options.templateParameters.emplace(name, parameter.substr(equals + 1)).second) {
      return UsageError{"--param " + name + " is given more than once; give each name once"};
    }
  }
  if (Has(app, "--template")) {
    options.templateFile = std::move(raw.templateFile);
    options.settings.Layout = OutputLayout::Template;
  } else if (ChoiceNamed(kLayoutWords, raw.layout) == OutputLayout::FieldsAsAttributes) {
    options.settings.Layout = OutputLayout::FieldsAsAttributes;
  }
  options.settings.Format = FormatInForce(options.settings.Format, options.settings.Layout,
                                          Has(app, "--schema") || Has(app, "--print-schema"));
  if (options.printTemplate) {
    // A printed template is that of the escaped element layout.
    options.settings.Format.escaping = Escaping::Xml;
  }
  if (Has(app, "--output-file")) {
    if (raw.outputFile.empty()) {
      return UsageError{"-O FILE is empty: name a file, or - for standard output"};
    }
    options.outputFile = std::move(raw.outputFile);
  }
  if (Has(app, "--jobs")) {
    options.jobs = raw.jobs;
  }
  if (Has(app, "--watch")) {
    options.watchedInbox = std::move(raw.watchedInbox);
  }
  if (Has(app, "--done")) {
    options.doneFolder = std::move(raw.doneFolder);
  }
  if (Has(app, "--failed")) {
    options.failedFolder = std::move(raw.failedFolder);
  }
  return AddPipelineOptions(app, raw, std::move(options));
}

}  // namespace

std::string VersionText() {
  return std::string(kProgramName) + " " + ROWVANE_VERSION + " (revision " + ROWVANE_REVISION + ")";
}

std::string ShortUsage() {
  return std::string("Usage: ") + kProgramName + " [OPTIONS] -o DIR INPUT...\n" + "       " +
         kProgramName + " [OPTIONS] -O FILE INPUT\n" + "       " + kProgramName +
         " [OPTIONS] --watch INBOX -o DIR [--done DIR] [--failed DIR]\n" + "       " +
         kProgramName + " [OPTIONS] --print-template INPUT\n" + "       " + kProgramName +
         " --merge-reports REPORT...\n";
}

ParsedCommandLine ParseCommandLine(int argc, const char* const argv[],
                                   const InputExpansion& expandInputs) {
  if (argc <= 1) {
    return UsageError{"", true};
  }
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
  if (expandInputs) {
    raw.options.inputs = expandInputs(raw.options.inputs);
  }
  return FinishOptions(app, std::move(raw));
}

}  // namespace rowvane::cli
