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

#include "cli/BatchReporter.h"
#include "cli/CommandLine.h"
#include "cli/DisplayEscape.h"
#include "cli/InputGathering.h"
#include "engine/BatchConverter.h"
#include "engine/BatchStart.h"
#include "filelist/PosixFileSystem.h"

namespace rowvane::cli {
namespace {

int AsExitCode(ExitStatus status) {
  return static_cast<int>(status);
}

unsigned JobsFor(const CliOptions& options, unsigned processors) {
  return options.jobs.value_or(std::max(processors, 1U));
}

// Only for the progress display: inputs that cannot be measured count as 0.
std::uint64_t TotalSizeOf(const std::vector<std::string>& inputs) {
  std::uint64_t total = 0;
  for (const std::string& input : inputs) {
    std::error_code error;
    const auto size = std::filesystem::file_size(input, error);
    if (!error) {
      total += size;
    }
  }
  return total;
}

}  // namespace

ExitStatus ConvertInputs(const CliOptions& options, const CliEnvironment& environment) {
  const PosixFileSystem fileSystem;
  const GatheredInputs gathered = GatherInputs(fileSystem, options.inputs, options.recursive);
  const OutputFolderVerdict verdict = StartBatch(options.outputFolder, gathered.files);
  if (!verdict.ready()) {
    environment.err << "rowvane-cli: cannot use output folder '"
                    << EscapeForDisplay(options.outputFolder) << "': " << verdict.reason << '\n';
    return ExitStatus::BadUsage;
  }
  for (const std::string& folder : gathered.refusedFolders) {
    environment.err << "rowvane-cli: " << EscapeForDisplay(folder)
                    << ": is a folder; use -r to convert the CSV files in it and below\n";
  }
  std::optional<ProgressDisplay> progress;
  if (environment.errIsTerminal && !options.quiet) {
    progress.emplace(environment.err, environment.clock, gathered.files.size(),
                     TotalSizeOf(gathered.files));
  }
  BatchReporter reporter(gathered.files, environment.err, progress ? &*progress : nullptr);
  const std::vector<FileOutcome> outcomes =
      ConvertBatch(gathered.files, options.outputFolder, options.settings,
                   JobsFor(options, environment.processors), reporter);
  reporter.finish();
  const ExitStatus status = ExitStatusOf(outcomes);
  return gathered.refusedFolders.empty() ? status : ExitStatus::SomeFailed;
}

int RunCli(int argc, const char* const argv[], const CliEnvironment& environment) {
  const ParsedCommandLine parsed = ParseCommandLine(argc, argv);
  if (const auto* info = std::get_if<InfoRequest>(&parsed)) {
    environment.out << info->text;
    environment.out.flush();
    return AsExitCode(ExitStatus::AllConverted);
  }
  if (const auto* usage = std::get_if<UsageError>(&parsed)) {
    environment.err << "rowvane-cli: " << EscapeForDisplay(usage->message) << '\n'
                    << "Run 'rowvane-cli --help' for more information.\n";
    return AsExitCode(ExitStatus::BadUsage);
  }
  const auto& options = std::get<CliOptions>(parsed);
  try {
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
