#include "app/desktop/ProgramArguments.h"

#include <CLI/CLI.hpp>

#include <QDir>
#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "app/desktop/LocalPath.h"
#include "app/desktop/ProductInfo.h"

namespace rowvane::app {
namespace {

constexpr const char* kProgramName = "rowvane";

// A path handed over to a window started elsewhere must not depend on this
// process's current folder.
// The name's bytes are kept, UTF-8 or not (PathFromBytes).
QString AbsolutePath(const std::string& argument) {
  if (argument.starts_with('/')) {
    return QDir::cleanPath(PathFromBytes(argument));
  }
  std::error_code unknown;
  const std::string folder = std::filesystem::current_path(unknown).string();
  return QDir::cleanPath(PathFromBytes(folder + "/" + argument));
}

void DescribeArguments(CLI::App& app, std::vector<std::string>& files) {
  app.name(kProgramName);
  app.description(
      "Opens the window that converts batches of CSV files into XML files. Each FILE\n"
      "is added to the list as if dropped on it: a file as it is, a folder with the\n"
      "files in it and below. When the window is already open, the files go to its\n"
      "list and no second window opens.");
  app.footer("Exit status: 0 when the window closed or took the files, 2 for bad usage.");
  app.set_version_flag("-V,--version", std::string(kProgramName) + " " + kProductVersion,
                       "Print the version and exit.");
  app.add_option("FILE", files, "Files or folders to add to the list.");
}

}  // namespace

ProgramArguments ParseProgramArguments(int argc, const char* const argv[]) {
  std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
  std::reverse(args.begin(), args.end());  // CLI11 takes its arguments last first

  CLI::App app;
  std::vector<std::string> files;
  DescribeArguments(app, files);
  try {
    app.parse(args);
  } catch (const CLI::CallForHelp&) {
    return AnswerAndExit{app.help(), 0};
  } catch (const CLI::CallForVersion& version) {
    return AnswerAndExit{std::string(version.what()) + "\n", 0};
  } catch (const CLI::ParseError& error) {
    return AnswerAndExit{std::string(kProgramName) + ": " + error.what() +
                             "\nRun 'rowvane --help' for the options.\n",
                         kUsageExitStatus};
  }
  StartWindow start;
  for (const std::string& file : files) {
    // An empty argument names no file; taken as a path it would be the current folder.
    if (!file.empty()) {
      start.files << AbsolutePath(file);
    }
  }
  return start;
}

}  // namespace rowvane::app
