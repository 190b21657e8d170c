// rowvane-cli's argument parsing: any argument list gives options, a help or
// version text, or a usage error, and nothing else.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <variant>
#include <vector>

#include "cli/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Arguments are separated by NUL bytes.
  std::vector<std::string> args = {"rowvane-cli"};
  std::string current;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  args.push_back(current);
  std::vector<const char*> argv;
  for (const std::string& arg : args) {
    argv.push_back(arg.c_str());
  }
  const auto parsed = rowvane::cli::ParseCommandLine(static_cast<int>(argv.size()), argv.data());
  if (const auto* options = std::get_if<rowvane::cli::CliOptions>(&parsed)) {
    // Options always name at least one input; -O takes exactly one, and only
    // -O gives standard input ("-") a place to go.
    const bool readsStandardInput =
        std::find(options->inputs.begin(), options->inputs.end(), "-") != options->inputs.end();
    if (options->inputs.empty() || (options->jobs && *options->jobs == 0) ||
        (options->outputFile && options->inputs.size() != 1) ||
        (readsStandardInput && !options->outputFile) ||
        (options->keepTree && !options->recursive)) {
      std::abort();
    }
  }
  return 0;
}
