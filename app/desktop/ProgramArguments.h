#pragma once

#include <QStringList>
#include <string>
#include <variant>

namespace rowvane::app {

/// The window is to open, with these files (absolute paths, in the order
/// given) added to its list as if dropped on it; none for an empty list.
struct StartWindow {
  QStringList files;
};

/// The command line asks for text instead of a window: help, the version, or
/// a complaint about the arguments. Nothing needs a display.
struct AnswerAndExit {
  std::string text;
  int exitStatus = 0;  // 0: printed on standard output; else standard error
};

using ProgramArguments = std::variant<StartWindow, AnswerAndExit>;

/// Reads the window program's command line: `rowvane [--help] [--version]
/// [FILE...]`. Relative paths are taken from the current folder; names keep
/// their bytes, UTF-8 or not (PathFromBytes).
ProgramArguments ParseProgramArguments(int argc, const char* const argv[]);

/// Exit status for arguments that make no sense.
inline constexpr int kUsageExitStatus = 2;

}  // namespace rowvane::app
