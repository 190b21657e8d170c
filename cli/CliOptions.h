#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/AutoShard.h"
#include "cli/Shard.h"
#include "engine/Settings.h"

namespace rowvane::cli {

/// The INPUT and -O FILE that stand for standard input and standard output.
inline constexpr const char* kStandardStream = "-";

/// The reason in the report of an input --update leaves alone.
inline constexpr std::string_view kUpToDate = "up to date";

/// What one call of rowvane-cli asks for, as read from its arguments.
struct CliOptions {
  /// The conversion options.
  ConversionSettings settings;
  /// The -o folder as typed (empty with -O).
  std::string outputFolder;
  /// Input files in the order given; converted in this order.
  std::vector<std::string> inputs;
  /// -O: the one input's output file, or "-" for standard output.
  std::optional<std::string> outputFile;
  /// Files converted at once; empty means one per processor.
  std::optional<unsigned> jobs;
  /// No progress display even on a terminal.
  bool quiet = false;
  /// The closing summary even when standard error is not a terminal.
  bool verbose = false;
  /// A folder INPUT stands for its CSV files and those of every folder below.
  bool recursive = false;
  /// Create the output folder and the folders above it when missing.
  bool parents = false;
  /// Never replace an existing output.
  bool noClobber = false;
  /// With `recursive`: outputs go into the same sub-folder of the output
  /// folder as their input has below the INPUT folder.
  bool keepTree = false;
  /// Leave an input whose output is not older than it (reported skipped,
  /// kUpToDate).
  bool update = false;
  /// Keep the atomic rename but flush nothing to the disk.
  bool noSync = false;
  /// List each input and its output, with the warnings; convert nothing.
  bool dryRun = false;
  /// --shard K/N: only the inputs of that share are converted (or listed).
  std::optional<Shard> shard;
  /// --shard auto or auto/N: `shard` is read from the job runner's variables
  /// when the run starts.
  std::optional<AutoShard> autoShard;
  /// --report FILE: one JSON line per input and the totals; "-" is standard error.
  std::optional<std::string> reportFile;
  /// --schema: every output is checked against this XML Schema (empty: none).
  std::string schema;
  /// --print-schema: print a schema for this input's outputs; convert nothing.
  std::optional<std::string> printSchemaOf;
  /// --types text: the printed schema types every value xs:string.
  bool textTypes = false;
  /// --watch INBOX: convert what is dropped into INBOX until stopped.
  std::optional<std::string> watchedInbox;
  /// --done DIR: where a converted input of the watched inbox is moved.
  std::optional<std::string> doneFolder;
  /// --failed DIR: where a failed input of the watched inbox is moved.
  std::optional<std::string> failedFolder;
  /// --settle SECONDS: how long a ready input of the inbox must stay quiet.
  double settleSeconds = 2.0;
  /// --template: the template file as typed; loaded before any input.
  std::optional<std::string> templateFile;
  /// --param NAME=VALUE: what param(NAME) gives in the template's expressions.
  std::map<std::string, std::string> templateParameters;
  /// With --template and --print-schema: the schema of the template's
  /// outputs, made when the template was loaded.
  std::optional<std::string> templateSchema;
  /// Write a template for the one input's escaped element layout to
  /// standard output instead of converting.
  bool printTemplate = false;
  /// --merge-reports: `inputs` are reports of runs, merged into one totals
  /// line; nothing is converted.
  bool mergeReports = false;
};

}  // namespace rowvane::cli
