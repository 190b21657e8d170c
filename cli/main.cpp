#include <unistd.h>

#include <chrono>
#include <iostream>
#include <thread>

#include "cli/CliApplication.h"
#include "cli/ProcessorCount.h"
#include "cli/StandardOutput.h"
#include "engine/Files.h"

int main(int argc, char* argv[]) {
  rowvane::LetOversizedWritesFail();
  rowvane::RemoveTemporaryFilesOnTermination();
  rowvane::UseModestThreadStacks();
  // Standard output through a buffer that keeps why a write failed.
  rowvane::cli::StandardOutputBuffer standardOutput(STDOUT_FILENO);
  std::cout.rdbuf(&standardOutput);
  const rowvane::cli::CliEnvironment environment{
      .out = std::cout,
      .err = std::cerr,
      .errIsTerminal = isatty(STDERR_FILENO) == 1,
      .processors = rowvane::cli::ProcessorsForThisProcess(std::thread::hardware_concurrency()),
      .clock = [] { return std::chrono::steady_clock::now(); },
      .outIsTerminal = isatty(STDOUT_FILENO) == 1,
  };
  const int status = rowvane::cli::RunCli(argc, argv, environment);
  const int finished = standardOutput.finish(std::cerr, status);
  std::cout.rdbuf(nullptr);
  return finished;
}
