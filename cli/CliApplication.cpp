#include "cli/CliApplication.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <new>
#include <optional>
#include <system_error>
#include <variant>

#include "cli/BatchPlan.h"
#include "cli/BatchReporter.h"
#include "cli/BatchSummary.h"
#include "cli/CommandLine.h"
#include "cli/DisplayEscape.h"
#include "cli/InputGathering.h"
#include "cli/OutputFileConversion.h"
#include "cli/OutputFolder.h"
#include "engine/BatchConverter.h"
#include "engine/BatchStart.h"
#include "filelist/PosixFileSystem.h"

namespace rowvane::cli {
namespace {

constexpr const char* kTryHelp = "Try 'rowvane-cli --help' for more information.\n";

int AsExitCode(ExitStatus status) {
  return static_cast<int>(status);
}

unsigned JobsFor(const CliOptions& options, unsigned processors) {
  return options.jobs.value_or(std::max(processors, 1U));
}

// Only for the progress display: inputs that cannot be measured count as 0.
std::uint64_t TotalSizeOf(const std::vector<BatchFile>& files) {
  std::uint64_t total = 0;
  for (const BatchFile& file : files) {
    std::error_code error;
    const auto size = std::filesystem::file_size(file.input, error);
    if (!error) {
      total += size;
    }
  }
  return total;
}

bool ShowsProgress(const CliOptions& options, const CliEnvironment& environment) {
  return environment.errIsTerminal && !options.quiet;
}

bool ShowsSummary(const CliOptions& options, const CliEnvironment& environment) {
  return options.verbose || ShowsProgress(options, environment);
}

void WriteLines(std::ostream& out, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    out << line << '\n';
  }
  out.flush();
}

// The output folder checked (made first with -p); false, after saying why,
// when it cannot take the outputs.
bool OutputFolderReady(const CliOptions& options, const CliEnvironment& environment) {
  const std::string& folder = options.outputFolder;
  auto problem = OutputFolderProblem(folder);
  if (problem && problem->missing && options.parents) {
    if (options.dryRun) {
      return true;  // -p would make it; a dry run makes nothing
    }
    if (const auto failure = MakeFolders(folder)) {
      environment.err << "rowvane-cli: " << EscapeForDisplay(folder)
                      << ": cannot create the folder: " << *failure << '\n';
      return false;
    }
    problem = OutputFolderProblem(folder);
  }
  if (problem) {
    environment.err << "rowvane-cli: " << (folder.empty() ? "" : EscapeForDisplay(folder) + ": ")
                    << problem->reason << '\n';
    return false;
  }
  return true;
}

std::vector<std::string> InputNamesOf(const std::vector<BatchFile>& files) {
  std::vector<std::string> names;
  names.reserve(files.size());
  for (const BatchFile& file : files) {
    names.push_back(file.input);
  }
  return names;
}

bool IsPresent(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

// The --dry-run list: each input and its output on standard output; inputs
// that are not there are reported as a run would. Gives the number of those.
std::size_t ListPlan(const BatchPlan& plan, const CliEnvironment& environment) {
  std::size_t missing = 0;
  for (const BatchFile& file : plan.files) {
    if (!IsPresent(file.input)) {
      environment.err << "rowvane-cli: " << EscapeForDisplay(file.input)
                      << ": input file not found\n";
      ++missing;
      continue;
    }
    environment.out << EscapeForDisplay(file.input) << " -> " << EscapeForDisplay(file.output.path)
                    << '\n';
  }
  environment.out.flush();
  return missing;
}

void MakeSubFolders(const BatchPlan& plan, const CliEnvironment& environment) {
  // A folder that cannot be made is said once here; its files then fail one by one.
  for (const std::string& folder : plan.subFolders) {
    if (const auto failure = MakeFolders(folder)) {
      environment.err << "rowvane-cli: " << EscapeForDisplay(folder)
                      << ": cannot create the folder: " << *failure << '\n';
    }
  }
}

std::size_t ConvertedCount(const std::vector<FileOutcome>& outcomes) {
  return static_cast<std::size_t>(std::count_if(
      outcomes.begin(), outcomes.end(),
      [](const FileOutcome& outcome) { return outcome.status == FileOutcome::Status::Converted; }));
}

std::uint64_t InputBytesOf(const std::vector<FileOutcome>& outcomes) {
  std::uint64_t total = 0;
  for (const FileOutcome& outcome : outcomes) {
    total += outcome.inputBytes;
  }
  return total;
}

void WriteSummary(const std::vector<FileOutcome>& outcomes, std::size_t notStarted,
                  SteadyClock::result_type start, const CliEnvironment& environment) {
  const std::size_t converted = ConvertedCount(outcomes);
  environment.err << SummaryLine(converted, outcomes.size() - converted + notStarted,
                                 InputBytesOf(outcomes), environment.clock() - start)
                  << '\n';
  environment.err.flush();
}

// -O: the one input into the one output file.
ExitStatus ConvertToFile(const CliOptions& options, const CliEnvironment& environment) {
  const std::string& input = options.inputs.front();
  const std::string& outputFile = *options.outputFile;
  const std::string inputName = input == kStandardStream ? kStandardInputName : input;
  struct stat info {};
  const bool replacesFile = outputFile != kStandardStream &&
                            ::stat(outputFile.c_str(), &info) == 0 && S_ISREG(info.st_mode);
  if (options.dryRun) {
    environment.out << EscapeForDisplay(inputName) << " -> "
                    << EscapeForDisplay(outputFile == kStandardStream ? kStandardOutputName
                                                                      : outputFile)
                    << '\n';
    return ExitStatus::AllConverted;
  }
  if (options.noClobber && replacesFile) {
    environment.err << "rowvane-cli: " << EscapeForDisplay(inputName)
                    << ": not converted: " << EscapeForDisplay(outputFile)
                    << " exists, and -n keeps it\n";
    return ExitStatus::SomeFailed;
  }
  const auto start = environment.clock();
  // The progress line would mix with the XML when both streams are one terminal.
  std::optional<ProgressDisplay> progress;
  if (ShowsProgress(options, environment) && outputFile != kStandardStream) {
    std::error_code unknown;
    const auto size = std::filesystem::file_size(input, unknown);
    progress.emplace(environment.err, environment.clock, 1, unknown ? 0 : size);
  }
  const std::vector<std::string> names{inputName};
  BatchReporter reporter(names, environment.err, progress ? &*progress : nullptr);
  const FileOutcome outcome = ConvertToOutputFile(input, outputFile, options.settings, reporter);
  reporter.finish();
  if (ShowsSummary(options, environment)) {
    WriteSummary({outcome}, 0, start, environment);
  }
  return ExitStatusOf({outcome});
}

void WriteUsageError(const UsageError& usage, std::ostream& err) {
  if (usage.showUsage) {
    err << ShortUsage();
  } else {
    err << "rowvane-cli: " << EscapeForDisplay(usage.message) << '\n';
  }
  err << kTryHelp;
}

}  // namespace

ExitStatus ConvertInputs(const CliOptions& options, const CliEnvironment& environment) {
  const auto start = environment.clock();
  const PosixFileSystem fileSystem;
  const GatheredInputs gathered = GatherInputs(fileSystem, options.inputs, options.recursive);
  for (const std::string& folder : gathered.refusedFolders) {
    environment.err << "rowvane-cli: " << EscapeForDisplay(folder)
                    << ": is a folder; use -r to convert the CSV files in it and below\n";
  }
  const BatchPlan plan = PlanOutputs(gathered, options);
  WriteLines(environment.err, plan.collisionWarnings);
  WriteLines(environment.err, plan.refusals);
  const bool someRefused = !gathered.refusedFolders.empty() || !plan.refusals.empty();
  if (options.dryRun) {
    const std::size_t missing = ListPlan(plan, environment);
    return someRefused || missing > 0 ? ExitStatus::SomeFailed : ExitStatus::AllConverted;
  }
  MakeSubFolders(plan, environment);
  // Every folder the outputs go to is cleared of what killed runs left there.
  for (const std::string& folder : OutputFoldersOf(plan.files)) {
    StartBatch(folder, gathered.files);
  }

  std::optional<ProgressDisplay> progress;
  if (ShowsProgress(options, environment)) {
    progress.emplace(environment.err, environment.clock, plan.files.size(),
                     TotalSizeOf(plan.files));
  }
  const std::vector<std::string> inputNames = InputNamesOf(plan.files);
  BatchReporter reporter(inputNames, environment.err, progress ? &*progress : nullptr,
                         progress ? ReportOrder::AsTheyHappen : ReportOrder::InputOrder);
  const std::vector<FileOutcome> outcomes = ConvertPlannedBatch(
      plan.files, options.settings, JobsFor(options, environment.processors), reporter);
  reporter.finish();
  if (ShowsSummary(options, environment)) {
    WriteSummary(outcomes, gathered.refusedFolders.size() + plan.refusals.size(), start,
                 environment);
  }
  const ExitStatus status = ExitStatusOf(outcomes);
  return someRefused ? ExitStatus::SomeFailed : status;
}

int RunCli(int argc, const char* const argv[], const CliEnvironment& environment) {
  const ParsedCommandLine parsed = ParseCommandLine(argc, argv);
  if (const auto* info = std::get_if<InfoRequest>(&parsed)) {
    environment.out << info->text;
    environment.out.flush();
    return AsExitCode(ExitStatus::AllConverted);
  }
  if (const auto* usage = std::get_if<UsageError>(&parsed)) {
    WriteUsageError(*usage, environment.err);
    return AsExitCode(ExitStatus::BadUsage);
  }
  const auto& options = std::get<CliOptions>(parsed);
  if (options.settings.GzipLevel && options.outputFile == kStandardStream &&
      environment.outIsTerminal && !options.dryRun) {
    WriteUsageError({"--gzip will not write compressed data to a terminal; redirect -O -"},
                    environment.err);
    return AsExitCode(ExitStatus::BadUsage);
  }
  try {
    if (options.outputFile) {
      return AsExitCode(ConvertToFile(options, environment));
    }
    if (!OutputFolderReady(options, environment)) {
      return AsExitCode(ExitStatus::BadUsage);
    }
    return AsExitCode(ConvertInputs(options, environment));
  } catch (const std::bad_alloc&) {
    environment.err << "rowvane-cli: not enough memory to go through the batch\n";
    return AsExitCode(ExitStatus::SomeFailed);
  } catch (const std::exception& error) {
    // The engine reports file problems per file; what reaches here (no memory,
    // no thread) stops the whole batch.
    environment.err << "rowvane-cli: " << EscapeForDisplay(error.what()) << '\n';
    return AsExitCode(ExitStatus::SomeFailed);
  }
}

}  // namespace rowvane::cli
