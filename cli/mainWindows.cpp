#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <chrono>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "cli/CliApplication.h"
#include "cli/ProcessorCount.h"
#include "cli/StandardOutput.h"
#include "cli/WildcardArguments.h"
#include "engine/Files.h"
#include "filelist/WindowsFileSystem.h"
#include "text/Utf16.h"

namespace {

// A console shows the UTF-8 the program writes as Unicode while this lives;
// the console's own code page comes back when the program ends.
class UnicodeConsole {
 public:
  UnicodeConsole() : m_previous(::GetConsoleOutputCP()) {
    if (m_previous != 0) {
      ::SetConsoleOutputCP(CP_UTF8);
    }
  }
  ~UnicodeConsole() {
    if (m_previous != 0) {
      ::SetConsoleOutputCP(m_previous);
    }
  }
  UnicodeConsole(const UnicodeConsole&) = delete;
  UnicodeConsole& operator=(const UnicodeConsole&) = delete;

 private:
  UINT m_previous;
};

// Standard input, output and error carry bytes as they are, as on Linux: no
// CR LF translation, no end at a Ctrl+Z.
void MakeStandardStreamsBinary() {
  ::_setmode(0, _O_BINARY);
  ::_setmode(1, _O_BINARY);
  ::_setmode(2, _O_BINARY);
}

}  // namespace

// The arguments as Windows keeps them, UTF-16, passed on as UTF-8.
int wmain(int argc, wchar_t* argv[]) {
  MakeStandardStreamsBinary();
  const UnicodeConsole console;
  rowvane::LetOversizedWritesFail();
  rowvane::RemoveTemporaryFilesOnTermination();
  rowvane::UseModestThreadStacks();
  std::vector<std::string> arguments;
  arguments.reserve(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) {
    const std::wstring wide(argv[i]);
    arguments.push_back(rowvane::Utf8FromUtf16(std::u16string(wide.begin(), wide.end())));
  }
  std::vector<const char*> pointers;
  for (const std::string& argument : arguments) {
    pointers.push_back(argument.c_str());
  }
  pointers.push_back(nullptr);
  rowvane::cli::StandardOutputBuffer standardOutput(1);
  std::cout.rdbuf(&standardOutput);
  const rowvane::WindowsFileSystem fileSystem;
  const rowvane::cli::CliEnvironment environment{
      .out = std::cout,
      .err = std::cerr,
      .errIsTerminal = ::_isatty(2) != 0,
      .processors = rowvane::cli::ProcessorsForThisProcess(std::thread::hardware_concurrency()),
      .clock = [] { return std::chrono::steady_clock::now(); },
      .outIsTerminal = ::_isatty(1) != 0,
      .expandInputs =
          [&](const std::vector<std::string>& inputs) {
            return rowvane::cli::ExpandWildcardArguments(fileSystem,
                                                         rowvane::cli::WithForwardSlashes(inputs));
          },
  };
  const int status = rowvane::cli::RunCli(argc, pointers.data(), environment);
  const int finished = standardOutput.finish(std::cerr, status);
  std::cout.rdbuf(nullptr);
  return finished;
}
