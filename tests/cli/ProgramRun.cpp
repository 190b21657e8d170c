#include "tests/cli/ProgramRun.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

extern char** environ;

namespace rowvane::cli::testing {
namespace {

[[noreturn]] void ThrowSystemError(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
  ~FileDescriptor() { reset(); }
  FileDescriptor(FileDescriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
  FileDescriptor& operator=(FileDescriptor&&) = delete;
  int get() const { return m_fd; }
  void reset() {
    if (m_fd >= 0) {
      close(m_fd);
    }
    m_fd = -1;
  }

 private:
  int m_fd;
};

// A temporary file, already unlinked, that the child writes into.
FileDescriptor AnonymousFile() {
  std::array<char, 32> name{"/tmp/rowvane-run-XXXXXX"};
  FileDescriptor fd(mkstemp(name.data()));
  if (fd.get() < 0) {
    ThrowSystemError("mkstemp");
  }
  unlink(name.data());
  return fd;
}

std::string ReadAll(int fd) {
  std::string text;
  std::array<char, 4096> buffer{};
  for (;;) {
    const ssize_t count = read(fd, buffer.data(), buffer.size());
    if (count > 0) {
      text.append(buffer.data(), static_cast<std::size_t>(count));
    } else if (count < 0 && errno == EINTR) {
      continue;
    } else {
      return text;  // end of file, or EIO once the terminal's other side closed
    }
  }
}

std::string ReadFromStart(int fd) {
  lseek(fd, 0, SEEK_SET);
  return ReadAll(fd);
}

struct Terminal {
  FileDescriptor controller;
  FileDescriptor device;
};

Terminal OpenTerminal() {
  FileDescriptor controller(posix_openpt(O_RDWR | O_NOCTTY));
  if (controller.get() < 0 || grantpt(controller.get()) != 0 || unlockpt(controller.get()) != 0) {
    ThrowSystemError("posix_openpt");
  }
  FileDescriptor device(open(ptsname(controller.get()), O_RDWR | O_NOCTTY));
  if (device.get() < 0) {
    ThrowSystemError("open terminal");
  }
  return {std::move(controller), std::move(device)};
}

class SpawnActions {
 public:
  SpawnActions() { posix_spawn_file_actions_init(&m_actions); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&m_actions); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  void redirect(int from, int to) { posix_spawn_file_actions_adddup2(&m_actions, from, to); }
  void openNull(int to) { open(to, "/dev/null", O_RDONLY); }
  void open(int to, const std::string& path, int flags) {
    posix_spawn_file_actions_addopen(&m_actions, to, path.c_str(), flags, 0644);
  }
  const posix_spawn_file_actions_t* get() const { return &m_actions; }

 private:
  posix_spawn_file_actions_t m_actions{};
};

int WaitFor(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) {
      ThrowSystemError("waitpid");
    }
  }
  return status;
}

struct Pipe {
  FileDescriptor reader;
  FileDescriptor writer;
};

Pipe MakePipe() {
  std::array<int, 2> ends{};
  if (pipe2(ends.data(), O_CLOEXEC) != 0) {
    ThrowSystemError("pipe");
  }
  return {FileDescriptor(ends[0]), FileDescriptor(ends[1])};
}

// A pipe that already holds `bytes` and whose writing end is closed.
FileDescriptor FilledPipe(const std::string& bytes) {
  Pipe pipe = MakePipe();
  if (bytes.size() > 65536 ||
      write(pipe.writer.get(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
    throw std::runtime_error("the input does not fit in a pipe");
  }
  return std::move(pipe.reader);
}

// Ignores SIGPIPE in this process while it lives, so a child spawned then
// starts with it ignored.
class PipeSignalIgnored {
 public:
  explicit PipeSignalIgnored(bool active) : m_active(active) {
    if (m_active) {
      m_previous = std::signal(SIGPIPE, SIG_IGN);
    }
  }
  ~PipeSignalIgnored() {
    if (m_active) {
      std::signal(SIGPIPE, m_previous);
    }
  }
  PipeSignalIgnored(const PipeSignalIgnored&) = delete;
  PipeSignalIgnored& operator=(const PipeSignalIgnored&) = delete;

 private:
  bool m_active;
  void (*m_previous)(int) = SIG_DFL;
};

}  // namespace

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         ErrorStream errorStream) {
  Streams streams;
  streams.errorStream = errorStream;
  return RunProgram(program, args, streams);
}

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const Streams& streams) {
  std::vector<std::string> words{program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);

  FileDescriptor outFile = AnonymousFile();
  FileDescriptor errFile = AnonymousFile();
  std::optional<Terminal> terminal;
  std::optional<FileDescriptor> inputPipe;
  std::optional<Pipe> closedOutput;
  SpawnActions actions;
  if (streams.inputFile) {
    actions.open(STDIN_FILENO, *streams.inputFile, O_RDONLY);
  } else if (streams.input) {
    inputPipe.emplace(FilledPipe(*streams.input));
    actions.redirect(inputPipe->get(), STDIN_FILENO);
  } else {
    actions.openNull(STDIN_FILENO);
  }
  if (streams.appendOutputTo) {
    actions.open(STDOUT_FILENO, *streams.appendOutputTo, O_WRONLY | O_APPEND | O_CREAT);
  } else if (streams.closedOutput) {
    closedOutput.emplace(MakePipe());
    closedOutput->reader.reset();
    actions.redirect(closedOutput->writer.get(), STDOUT_FILENO);
  } else {
    actions.redirect(outFile.get(), STDOUT_FILENO);
  }
  if (streams.errorStream == ErrorStream::Terminal) {
    terminal.emplace(OpenTerminal());
    actions.redirect(terminal->device.get(), STDERR_FILENO);
  } else {
    actions.redirect(errFile.get(), STDERR_FILENO);
  }

  // The added entries come first: getenv takes the first of a name.
  std::vector<std::string> added = streams.environment;
  std::vector<char*> environment;
  for (std::string& entry : added) {
    environment.push_back(entry.data());
  }
  for (char** entry = environ; *entry != nullptr; ++entry) {
    environment.push_back(*entry);
  }
  environment.push_back(nullptr);

  pid_t child = 0;
  int spawnError = 0;
  {
    const PipeSignalIgnored ignored(streams.pipeSignalIgnored);
    spawnError = posix_spawn(&child, program.c_str(), actions.get(), nullptr, argv.data(),
                             environment.data());
  }
  if (spawnError != 0) {
    throw std::system_error(spawnError, std::generic_category(), "posix_spawn " + program);
  }
  inputPipe.reset();
  closedOutput.reset();
  ProgramResult result;
  if (terminal) {
    // Read while the child runs so that it never blocks on a full terminal.
    terminal->device.reset();
    result.err = ReadAll(terminal->controller.get());
  }
  const int status = WaitFor(child);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  result.out = ReadFromStart(outFile.get());
  if (!terminal) {
    result.err = ReadFromStart(errFile.get());
  }
  return result;
}

}  // namespace rowvane::cli::testing
