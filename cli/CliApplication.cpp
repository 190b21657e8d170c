#include "cli/CliApplication.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <system_error>
#include <variant>

#include "cli/BatchPlan.h"
#include "cli/BatchReporter.h"
#include "cli/BatchSummary.h"
#include "cli/CommandLine.h"
#include "cli/DisplayEscape.h"
#include "cli/InboxWatch.h"
#include "cli/InputGathering.h"
#include "cli/OutputFileConversion.h"
#include "cli/OutputFolder.h"
#include "cli/OutputTarget.h"
#include "cli/PathStatus.h"
#include "cli/PrintTemplate.h"
#include "cli/ReportMerge.h"
#include "cli/ReportingObserver.h"
#include "cli/RunInterruption.h"
#include "cli/RunReport.h"
#include "cli/SamePath.h"
#include "cli/SchemaPrinting.h"
#include "cli/TemplateFile.h"
#include "cli/WalkFileSystem.h"
#include "engine/Batch.h"
#include "engine/Layouts.h"

namespace rowvane::cli {
namespace {

// SOURCE_DATE_EPOCH as reproducible builds define it: a decimal count of
// seconds, here up to the last second of the year 9999 that dates can name.
std::optional<std::int64_t> SecondsSinceEpoch(const std::string& text) {
  constexpr std::int64_t kLastSecond = 253402300799;
  std::int64_t seconds = 0;
  if (text.empty() || text.size() > 12 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  for (const char c : text) {
    seconds = seconds * 10 + (c - '0');
  }
  return seconds <= kLastSecond ? std::optional(seconds) : std::nullopt;
}

constexpr const char* kTryHelp = "Try 'rowvane-cli --help' for more information.\n";
constexpr const char* kFolderRefusal =
    "is a folder; use -r to convert the CSV files in it and below";

double SecondsSince(std::chrono::steady_clock::time_point start,
                    const CliEnvironment& environment) {
  return std::chrono::duration<double>(environment.clock() - start).count();
}

// Where --report goes: standard error for "-", else its file, created or
// emptied once the run is about to convert.
class ReportDestination {
 public:
  ReportDestination(const std::optional<std::string>& path, std::ostream& standardError,
                    std::optional<Shard> shard = std::nullopt)
      : m_path(path), m_standardError(standardError), m_shard(shard) {}

  // False, after saying why on `err`, when the file cannot be written.
  bool open(std::ostream& err) {
    if (!m_path) {
      return true;
    }
    if (*m_path == kStandardStream) {
      m_report.emplace(m_standardError, m_shard);
      return true;
    }
    m_created = !PathIsTaken(*m_path);
    m_file.open(*m_path, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!m_file) {
      err << "rowvane-cli: " << EscapeForDisplay(*m_path)
          << ": cannot write the report: " << std::strerror(errno) << '\n';
      return false;
    }
    m_report.emplace(m_file, m_shard);
    return true;
  }
  RunReport* report() { return m_report ? &*m_report : nullptr; }

  // A report file this run made is removed when the run is refused after all.
  void discard() {
    if (m_created && m_file.is_open()) {
      m_report.reset();
      m_file.close();
      RemoveFile(*m_path);
    }
  }

  // True, after saying so on `err`, when a line of the report could not be
  // written (a full disk): the run then counts as failed.
  bool lost(std::ostream& err) const {
    if (!m_report || m_file.good() || *m_path == kStandardStream) {
      return false;
    }
    err << "rowvane-cli: " << EscapeForDisplay(*m_path) << ": the report could not be written\n";
    return true;
  }

 private:
  const std::optional<std::string>& m_path;
  std::ostream& m_standardError;
  std::optional<Shard> m_shard;
  std::ofstream m_file;
  bool m_created = false;
  std::optional<RunReport> m_report;
};

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

// True when -O FILE would replace a file that exists; a descriptor's file
// or a device is written in place, not replaced.
bool ReplacesExistingFile(const std::string& outputFile) {
  try {
    const OutputTarget target = ResolveOutputTarget(outputFile);
    return target.kind == OutputTarget::Kind::Replaced && RegularFileAt(target.path).has_value();
  } catch (const ConversionError&) {
    return false;  // the conversion says why it cannot write there
  }
}

// -O: the one input into the one output file.
ExitStatus ConvertToFile(const CliOptions& options, const CliEnvironment& environment,
                         std::ostream& reportErr) {
  const std::string& input = options.inputs.front();
  const std::string& outputFile = *options.outputFile;
  const std::string inputName = input == kStandardStream ? kStandardInputName : input;
  const std::string outputName = outputFile == kStandardStream ? kStandardOutputName : outputFile;
  const bool replacesFile = ReplacesExistingFile(outputFile);
  // Either way round the input is lost, or read back as it grows without end.
  if (OutputWouldReplaceInput(input, outputFile)) {
    environment.err << "rowvane-cli: " << EscapeForDisplay(inputName) << ": cannot write "
                    << EscapeForDisplay(outputName) << ": " << kOutputIsInput << '\n';
    return ExitStatus::BadUsage;
  }
  if (options.dryRun) {
    environment.out << EscapeForDisplay(inputName) << " -> " << EscapeForDisplay(outputName)
                    << '\n';
    return ExitStatus::AllConverted;
  }
  const auto start = environment.clock();
  ReportDestination destination(options.reportFile, reportErr);
  if (!destination.open(environment.err)) {
    return ExitStatus::BadUsage;
  }
  RunReport* const report = destination.report();
  if (options.noClobber && replacesFile) {
    const std::string reason = "not converted: " + outputFile + " exists, and -n keeps it";
    environment.err << "rowvane-cli: " << EscapeForDisplay(inputName) << ": "
                    << EscapeForDisplay(reason) << '\n';
    if (report != nullptr) {
      report->skipped(inputName, outputFile, reason);
      report->totals(SecondsSince(start, environment));
    }
    return ExitStatus::SomeFailed;
  }
  // The progress line would mix with the XML when both streams are one terminal.
  std::optional<ProgressDisplay> progress;
  if (ShowsProgress(options, environment) && outputFile != kStandardStream) {
    std::error_code unknown;
    const auto size = std::filesystem::file_size(input, unknown);
    progress.emplace(environment.err, environment.clock, 1, unknown ? 0 : size);
  }
  const std::vector<std::string> names{inputName};
  BatchReporter reporter(names, environment.err, progress ? &*progress : nullptr);
  const FileOutcome outcome =
      ConvertToOutputFile(input, outputFile, options.settings, !options.noSync, reporter);
  reporter.finish();
  if (report != nullptr) {
    report->finished(inputName, outcome.outputPath, outcome, SecondsSince(start, environment));
    report->totals(SecondsSince(start, environment));
  }
  if (ShowsSummary(options, environment)) {
    WriteSummary({outcome}, 0, start, environment);
  }
  return destination.lost(environment.err) ? ExitStatus::SomeFailed : ExitStatusOf({outcome});
}

void WriteUsageError(const UsageError& usage, std::ostream& err) {
  if (usage.showUsage) {
    err << ShortUsage();
  } else {
    err << "rowvane-cli: " << EscapeForDisplay(usage.message) << '\n';
  }
  err << kTryHelp;
}

bool IsPlannedOutput(const BatchPlan& plan, const std::string& path) {
  return std::any_of(plan.files.begin(), plan.files.end(),
                     [&path](const BatchFile& file) { return SamePath(file.output.path, path); });
}

// The batch, each input also written into the report when there is one. When
// the batch ends early (no memory, no thread), the inputs it did not finish
// are reported as stopped before the batch's exception goes on; so are they
// when a signal stops it (through `interruption`).
std::vector<FileOutcome> ConvertReported(const std::vector<BatchFile>& files,
                                         const CliOptions& options,
                                         const CliEnvironment& environment, BatchObserver& lines,
                                         RunReport* report, RunInterruption& interruption) {
  const unsigned jobs = JobsFor(options, environment.processors);
  BatchStop stop;
  ConversionTuning tuning;
  tuning.syncToDisk = !options.noSync;
  tuning.stop = &stop;
  if (report == nullptr) {
    interruption.duringBatch([&stop] { stop.request(); });
    auto outcomes = ConvertPlannedBatch(files, options.settings, jobs, lines, tuning);
    interruption.duringBatch(nullptr);
    return outcomes;
  }
  ReportingObserver observer(lines, *report, files, environment.clock);
  // A signal just before the batch takes the stop still finds every input.
  interruption.duringBatch([&stop, &observer] {
    stop.request();
    observer.stopRemaining("stopped before it was converted");
  });
  try {
    auto outcomes = ConvertPlannedBatch(files, options.settings, jobs, observer, tuning);
    interruption.duringBatch(nullptr);
    return outcomes;
  } catch (const std::exception& error) {
    interruption.duringBatch(nullptr);
    interruption.write([&](RunReport&) { observer.stopRemaining(error.what()); });
    throw;
  }
}

// True when the report names an existing file where an output of this run
// could go (through links too): emptying it before the outputs are named could
// lose that output.
bool ReportMayBeAnOutput(const CliOptions& options) {
  std::error_code error;
  const auto report = std::filesystem::weakly_canonical(*options.reportFile, error);
  const std::string name = report.filename().string();
  const bool named = name.ends_with(".xml") || name.ends_with(".xml.gz");
  if (error || !named || !RegularFileAt(report.string()).has_value()) {
    return false;
  }
  const auto folder = std::filesystem::weakly_canonical(options.outputFolder, error);
  if (error) {
    return false;
  }
  if (!options.keepTree) {
    return report.parent_path() == folder;
  }
  const auto relative = report.parent_path().lexically_relative(folder);
  return !relative.empty() && *relative.begin() != "..";
}

// The report, emptied before anything else happens so that the last run's
// never stands for this one. One with nothing there yet to empty is made once
// the outputs are named and shown not to be it. False, after saying why, when
// it cannot be.
bool OpenReportEarly(const CliOptions& options, const CliEnvironment& environment,
                     ReportDestination& destination, bool& deferred) {
  deferred = false;
  if (!options.reportFile || options.dryRun) {
    return true;
  }
  const std::string& path = *options.reportFile;
  if (path != kStandardStream && ReportMayBeAnOutput(options)) {
    WriteUsageError({"--report '" + path + "' may be an output of this run"}, environment.err);
    return false;
  }
  if (path != kStandardStream && NothingToEmpty(path)) {
    deferred = true;
    return true;
  }
  return destination.open(environment.err);
}

}  // namespace

ExitStatus ConvertInputs(const CliOptions& options, const CliEnvironment& environment,
                         std::ostream& reportErr) {
  const auto start = environment.clock();
  ReportDestination destination(options.reportFile, reportErr, options.shard);
  bool deferred = false;
  if (!OpenReportEarly(options, environment, destination, deferred)) {
    return ExitStatus::BadUsage;
  }
  RunInterruption interruption([&] { return SecondsSince(start, environment); }, environment.err);
  interruption.useReport(destination.report());
  if (!OutputFolderReady(options, environment)) {
    return ExitStatus::BadUsage;
  }
  const WalkFileSystem fileSystem;
  const GatheredInputs gathered = GatherInputs(fileSystem.get(), options.inputs, options.recursive);
  const BatchPlan plan = PlanOutputs(gathered, options);
  interruption.know(&plan.files);
  if (options.reportFile && IsPlannedOutput(plan, *options.reportFile)) {
    interruption.useReport(nullptr);
    destination.discard();
    WriteUsageError({"--report '" + *options.reportFile + "' is an output of this run"},
                    environment.err);
    return ExitStatus::BadUsage;
  }
  if (deferred) {
    if (!destination.open(environment.err)) {
      return ExitStatus::BadUsage;
    }
    interruption.useReport(destination.report());
  }
  RunReport* const report = destination.report();
  for (const std::string& folder : gathered.refusedFolders) {
    environment.err << "rowvane-cli: " << EscapeForDisplay(folder) << ": " << kFolderRefusal
                    << '\n';
    interruption.write(
        [&](RunReport& lines) { lines.skipped(folder, std::nullopt, kFolderRefusal); });
  }
  WriteLines(environment.err, plan.collisionWarnings);
  for (const Refusal& refusal : plan.refusals) {
    environment.err << RefusalLine(refusal) << '\n';
    interruption.write([&](RunReport& lines) {
      lines.skipped(refusal.file.input, refusal.file.output.path,
                    "not converted: " + refusal.reason);
    });
  }
  for (const Refusal& left : plan.leftAlone) {
    interruption.write([&](RunReport& lines) {
      lines.skipped(left.file.input, left.file.output.path, left.reason);
    });
  }
  environment.err.flush();
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
  std::vector<FileOutcome> outcomes;
  try {
    outcomes = ConvertReported(plan.files, options, environment, reporter, report, interruption);
  } catch (const std::exception&) {
    interruption.close([&](RunReport& lines) { lines.totals(SecondsSince(start, environment)); });
    throw;
  }
  reporter.finish();
  interruption.close([&](RunReport& lines) { lines.totals(SecondsSince(start, environment)); });
  if (ShowsSummary(options, environment)) {
    WriteSummary(outcomes, gathered.refusedFolders.size() + plan.refusals.size(), start,
                 environment);
  }
  const ExitStatus status = ExitStatusOf(outcomes);
  return someRefused || destination.lost(environment.err) ? ExitStatus::SomeFailed : status;
}

int RunCli(int argc, const char* const argv[], const CliEnvironment& environment) {
  const ParsedCommandLine parsed = ParseCommandLine(argc, argv, environment.expandInputs);
  if (const auto* info = std::get_if<InfoRequest>(&parsed)) {
    environment.out << info->text;
    environment.out.flush();
    return AsExitCode(ExitStatus::AllConverted);
  }
  if (const auto* usage = std::get_if<UsageError>(&parsed)) {
    WriteUsageError(*usage, environment.err);
    return AsExitCode(ExitStatus::BadUsage);
  }
  CliOptions options = std::get<CliOptions>(parsed);
  if (options.mergeReports) {
    return AsExitCode(MergeReports(options.inputs, environment.out, environment.err));
  }
  if (options.autoShard) {
    auto share = ShardFromJobRunner(*options.autoShard, environment.variable);
    if (const auto* problem = std::get_if<AutoShardProblem>(&share)) {
      WriteUsageError({problem->message}, environment.err);
      return AsExitCode(ExitStatus::BadUsage);
    }
    options.shard = std::get<Shard>(share);
  }
  if (options.templateFile) {
    // A template that cannot be used stops the run before any input is read.
    if (const auto epoch = environment.variable("SOURCE_DATE_EPOCH")) {
      const auto moment = SecondsSinceEpoch(*epoch);
      if (!moment) {
        environment.err << "rowvane-cli: SOURCE_DATE_EPOCH is not a count of seconds since "
                           "1970 up to the year 9999: '"
                        << EscapeForDisplay(*epoch) << "'\n";
        return AsExitCode(ExitStatus::BadUsage);
      }
      options.settings.FixedNow = *moment;
    }
    auto loaded = LoadTemplateFile(*options.templateFile, options.printSchemaOf.has_value(),
                                   options.templateParameters);
    if (const auto* problem = std::get_if<TemplateFileProblem>(&loaded)) {
      environment.err << "rowvane-cli: " << problem->message << '\n';
      return AsExitCode(ExitStatus::BadUsage);
    }
    TemplateFile& file = std::get<TemplateFile>(loaded);
    options.settings.Template = std::move(file.layout);
    options.templateSchema = std::move(file.schema);
  }
  if (options.reportFile == kStandardStream) {
    // The report takes standard error for itself: the messages for people go nowhere.
    std::ostream nowhere(nullptr);
    const CliEnvironment quiet{.out = environment.out,
                               .err = nowhere,
                               .errIsTerminal = false,
                               .processors = environment.processors,
                               .clock = environment.clock,
                               .outIsTerminal = environment.outIsTerminal,
                               .variable = environment.variable};
    return RunOptions(options, quiet, environment.err);
  }
  return RunOptions(options, environment, environment.err);
}

int RunOptions(const CliOptions& given, const CliEnvironment& environment,
               std::ostream& reportErr) {
  if (given.settings.GzipLevel && given.outputFile == kStandardStream &&
      environment.outIsTerminal && !given.dryRun) {
    // A usage error, said even when the report has standard error.
    WriteUsageError({"--gzip will not write compressed data to a terminal; redirect -O -"},
                    reportErr);
    return AsExitCode(ExitStatus::BadUsage);
  }
  CliOptions options = given;  // takes the loaded schema
  try {
    if (options.printSchemaOf) {
      return AsExitCode(PrintSchema(options, environment.out, environment.err));
    }
    if (!options.schema.empty()) {
      // Once, before any file: a schema that cannot be used stops the run.
      try {
        options.settings.Schema = std::make_shared<const XmlSchema>(options.schema);
      } catch (const SchemaError& error) {
        // A usage error, said even when the report has standard error.
        reportErr << "rowvane-cli: " << EscapeForDisplay(error.what()) << '\n';
        return AsExitCode(ExitStatus::BadUsage);
      }
    }
    if (options.printTemplate) {
      return AsExitCode(PrintTemplate(options, environment));
    }
    if (options.outputFile) {
      return AsExitCode(ConvertToFile(options, environment, reportErr));
    }
    if (!options.watchedInbox) {
      return AsExitCode(ConvertInputs(options, environment, reportErr));
    }
    if (!OutputFolderReady(options, environment)) {
      return AsExitCode(ExitStatus::BadUsage);
    }
    return AsExitCode(WatchInbox(options, environment, reportErr));
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
