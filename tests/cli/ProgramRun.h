#pragma once

#include <optional>
#include <string>
#include <vector>

namespace rowvane::cli::testing {

/// What a finished child process left behind.
struct ProgramResult {
  int exitCode = -1;  ///< -1 when it did not exit normally
  int signal = 0;     ///< the signal that ended it; 0 when it exited
  std::string out;
  std::string err;
};

/// Where the child's standard error goes.
enum class ErrorStream { File, Terminal };

/// Runs `program` with `args` (not through a shell), standard input from
/// /dev/null, and collects its exit code and output. With ErrorStream::Terminal
/// its standard error is a pseudo-terminal, as in an interactive session.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         ErrorStream errorStream = ErrorStream::File);

/// Where the child's standard input comes from and its standard output goes.
struct Streams {
  ErrorStream errorStream = ErrorStream::File;
  /// Given: standard input is a pipe holding these bytes (at most 64 KiB),
  /// then its end. Not given: /dev/null.
  std::optional<std::string> input;
  /// Standard output is a pipe whose reader is gone already.
  bool closedOutput = false;
  /// The child starts with SIGPIPE ignored, as under some shells and services.
  bool pipeSignalIgnored = false;
  /// Given: standard input is this file, opened for reading (`input` is then ignored).
  std::optional<std::string> inputFile;
  /// Given: standard output is appended to this file, as `>>` does.
  std::optional<std::string> appendOutputTo;
  /// "NAME=value" entries added to the child's environment.
  std::vector<std::string> environment;
};

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const Streams& streams);

}  // namespace rowvane::cli::testing
