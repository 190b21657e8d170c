#pragma once

#include <string>
#include <vector>

namespace rowvane::cli::testing {

/// What a finished child process left behind.
struct ProgramResult {
  int exitCode = -1;  ///< -1 when it did not exit normally
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

}  // namespace rowvane::cli::testing
