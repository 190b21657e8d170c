// Makes chosen file calls fail for chosen files, so that the reliability
// suite can put a disk error at an exact byte or call. Loaded into
// rowvane-cli with LD_PRELOAD (plan in $ROWVANE_FAULTS), or linked into a
// test program that sets its plan with rowvane_faults_configure(). Every
// injected fault is counted, and logged to $ROWVANE_FAULTS_LOG when set, so a
// run can prove that its fault was reached.
//
// The interposed calls look up the C library's own with dlsym(RTLD_NEXT).
// Calls that no rule watches go straight through, which keeps the shim cheap
// in a Qt program that writes to its event pipes all the time.

#include <dlfcn.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/reliability/FaultPlan.h"

namespace rowvane::reliability {
namespace {

using WriteFunction = ssize_t(int, const void*, size_t);
using ReadFunction = ssize_t(int, void*, size_t);
using SyncFunction = int(int);
using RenameFunction = int(const char*, const char*);
using RenameAtFunction = int(int, const char*, int, const char*);
using RenameAt2Function = int(int, const char*, int, const char*, unsigned);
using OpenFunction = int(const char*, int, ...);
using OpenAtFunction = int(int, const char*, int, ...);
using CloseFunction = int(int);

template <typename Function>
Function* Next(const char* name) {
  return reinterpret_cast<Function*>(::dlsym(RTLD_NEXT, name));
}

WriteFunction* RealWrite() {
  static WriteFunction* const function = Next<WriteFunction>("write");
  return function;
}

OpenFunction* RealOpen() {
  static OpenFunction* const function = Next<OpenFunction>("open");
  return function;
}

std::string PathOfDescriptor(int fd) {
  std::array<char, 64> link{};
  std::snprintf(link.data(), link.size(), "/proc/self/fd/%d", fd);
  std::array<char, 4096> target{};
  const ssize_t length = ::readlink(link.data(), target.data(), target.size() - 1);
  return length < 0 ? std::string() : std::string(target.data(), static_cast<size_t>(length));
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  (void)std::remove(path);  // keep going: remove what can be removed
  return 0;
}

void RemoveTree(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    return;
  }
  if (!S_ISDIR(info.st_mode)) {
    ::unlink(path.c_str());
    return;
  }
  // Moved away in one step first: another thread may be creating files in it,
  // and the folder must be gone for all of them at once.
  const std::string doomed = path + ".removed-" + std::to_string(::getpid());
  if (::syscall(SYS_renameat2, AT_FDCWD, path.c_str(), AT_FDCWD, doomed.c_str(), 0) != 0) {
    return;
  }
  ::nftw(doomed.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

void SayToStandardError(const std::string& text) {
  const std::string line = "rowvane fault shim: " + text + "\n";
  (void)RealWrite()(STDERR_FILENO, line.data(), line.size());
}

/// What to do with one call.
struct Verdict {
  enum class Kind { Pass, Shorten, Fail, Remove };
  Kind kind = Kind::Pass;
  size_t size = 0;  // Shorten: bytes to let through
  int error = 0;    // Fail
  std::string removePath;
};

/// The plan in force and what has happened under it. One per process.
class FaultShim {
 public:
  static FaultShim& instance() {
    // A function-local object: interposed calls may come before main().
    static FaultShim shim;
    return shim;
  }

  bool watches(FaultCall call) const {
    return m_watched[static_cast<size_t>(call)].load(std::memory_order_relaxed);
  }

  bool configure(const char* plan) {
    const std::lock_guard lock(m_mutex);
    m_injected = 0;
    try {
      setRules(ParseFaultPlan(plan == nullptr ? "" : plan));
      return true;
    } catch (const std::invalid_argument& error) {
      SayToStandardError(std::string("bad plan: ") + error.what());
      setRules({});
      return false;
    }
  }

  unsigned injected() const {
    const std::lock_guard lock(m_mutex);
    return m_injected;
  }

  /// Verdict for a call without a byte range (fsync, rename, open, close).
  Verdict onCall(FaultCall call, const std::string& path, const std::string& otherPath = {}) {
    const std::lock_guard lock(m_mutex);
    for (Rule& rule : m_rules) {
      if (rule.plan.call != call || rule.plan.offset ||
          !(rule.plan.matches(path) || (!otherPath.empty() && rule.plan.matches(otherPath)))) {
        continue;
      }
      const bool armed = isArmed(rule);
      ++rule.seen;
      if (armed) {
        return act(rule, call, path);
      }
    }
    return {};
  }

  /// Verdict for a read or write of `size` bytes on `fd` at its current offset.
  Verdict onTransfer(FaultCall call, int fd, size_t size) {
    const std::string path = PathOfDescriptor(fd);
    const off_t position = ::lseek(fd, 0, SEEK_CUR);
    const std::lock_guard lock(m_mutex);
    for (Rule& rule : m_rules) {
      if (rule.plan.call != call || !rule.plan.matches(path)) {
        continue;
      }
      if (!rule.plan.offset) {
        const bool armed = isArmed(rule);
        ++rule.seen;
        if (armed) {
          return act(rule, call, path);
        }
        continue;
      }
      const std::uint64_t target = *rule.plan.offset;
      if (position < 0 || size == 0) {
        continue;
      }
      const auto start = static_cast<std::uint64_t>(position);
      if (target < start || target >= start + size) {
        continue;  // this call does not hold byte `target`
      }
      const bool armed = isArmed(rule);
      if (armed && start < target) {
        // The bytes before the target go through; the next call holds it.
        return {Verdict::Kind::Shorten, static_cast<size_t>(target - start), 0, {}};
      }
      ++rule.seen;
      if (armed) {
        return act(rule, call, path);
      }
    }
    return {};
  }

 private:
  struct Rule {
    FaultRule plan;
    unsigned seen = 0;
    unsigned acted = 0;
  };

  FaultShim() {
    if (const char* log = std::getenv("ROWVANE_FAULTS_LOG")) {
      m_logPath = log;
    }
    if (const char* plan = std::getenv("ROWVANE_FAULTS"); plan != nullptr && *plan != '\0') {
      if (!configure(plan)) {
        std::_Exit(97);  // a broken plan is the suite's mistake: stop loudly
      }
    }
  }

  static bool isArmed(const Rule& rule) {
    return rule.seen >= rule.plan.skip && (rule.plan.times == 0 || rule.acted < rule.plan.times);
  }

  Verdict act(Rule& rule, FaultCall call, const std::string& path) {
    ++rule.acted;
    ++m_injected;
    log(call, path, rule.plan);
    if (!rule.plan.removePath.empty()) {
      return {Verdict::Kind::Remove, 0, 0, rule.plan.removePath};
    }
    return {Verdict::Kind::Fail, 0, rule.plan.error, {}};
  }

  void log(FaultCall call, const std::string& path, const FaultRule& plan) const {
    if (m_logPath.empty()) {
      return;
    }
    static constexpr std::array<const char*, 6> kNames{"write",  "read", "fsync",
                                                       "rename", "open", "close"};
    std::string line = std::to_string(::getpid()) + " " + kNames[static_cast<size_t>(call)] + " " +
                       path +
                       (plan.removePath.empty() ? " error " + std::to_string(plan.error)
                                                : " remove " + plan.removePath) +
                       "\n";
    const int fd = RealOpen()(m_logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0) {
      (void)RealWrite()(fd, line.data(), line.size());
      ::syscall(SYS_close, fd);
    }
  }

  void setRules(std::vector<FaultRule> rules) {
    m_rules.clear();
    for (auto& watched : m_watched) {
      watched.store(false, std::memory_order_relaxed);
    }
    for (FaultRule& rule : rules) {
      m_watched[static_cast<size_t>(rule.call)].store(true, std::memory_order_relaxed);
      m_rules.push_back({std::move(rule)});
    }
  }

  mutable std::mutex m_mutex;
  std::vector<Rule> m_rules;
  std::array<std::atomic<bool>, 6> m_watched{};
  unsigned m_injected = 0;
  std::string m_logPath;
};

/// Carries out a verdict for a call that returns an int: -1 with errno for a
/// failure, or the real call's result.
template <typename Call>
auto Carry(const Verdict& verdict, Call&& realCall) -> decltype(realCall()) {
  if (verdict.kind == Verdict::Kind::Fail) {
    errno = verdict.error;
    return -1;
  }
  if (verdict.kind == Verdict::Kind::Remove) {
    RemoveTree(verdict.removePath);
  }
  return realCall();
}

template <typename Function>
ssize_t Transfer(FaultCall call, Function* real, int fd, auto* data, size_t size) {
  FaultShim& shim = FaultShim::instance();
  if (!shim.watches(call)) {
    return real(fd, data, size);
  }
  const Verdict verdict = shim.onTransfer(call, fd, size);
  if (verdict.kind == Verdict::Kind::Shorten) {
    return real(fd, data, verdict.size);
  }
  return Carry(verdict, [&] { return real(fd, data, size); });
}

int Sync(SyncFunction* real, int fd) {
  FaultShim& shim = FaultShim::instance();
  if (!shim.watches(FaultCall::Fsync)) {
    return real(fd);
  }
  return Carry(shim.onCall(FaultCall::Fsync, PathOfDescriptor(fd)), [&] { return real(fd); });
}

Verdict RenameVerdict(const char* from, const char* to) {
  FaultShim& shim = FaultShim::instance();
  if (!shim.watches(FaultCall::Rename)) {
    return {};
  }
  return shim.onCall(FaultCall::Rename, from == nullptr ? "" : from, to == nullptr ? "" : to);
}

Verdict OpenVerdict(const char* path) {
  FaultShim& shim = FaultShim::instance();
  if (path == nullptr || !shim.watches(FaultCall::Open)) {
    return {};
  }
  return shim.onCall(FaultCall::Open, path);
}

mode_t ModeArgument(int flags, va_list arguments) {
  const bool hasMode = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
  return hasMode ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
}

}  // namespace
}  // namespace rowvane::reliability

using rowvane::reliability::FaultCall;
using rowvane::reliability::FaultShim;

extern "C" {

int rowvane_faults_configure(const char* plan) {
  return FaultShim::instance().configure(plan) ? 0 : -1;
}

unsigned rowvane_faults_injected(void) {
  return FaultShim::instance().injected();
}

ssize_t write(int fd, const void* data, size_t size) {
  return rowvane::reliability::Transfer(FaultCall::Write, rowvane::reliability::RealWrite(), fd,
                                        data, size);
}

ssize_t read(int fd, void* data, size_t size) {
  static auto* const real = rowvane::reliability::Next<rowvane::reliability::ReadFunction>("read");
  return rowvane::reliability::Transfer(FaultCall::Read, real, fd, data, size);
}

int fsync(int fd) {
  using rowvane::reliability::SyncFunction;
  static auto* const real = rowvane::reliability::Next<SyncFunction>("fsync");
  return rowvane::reliability::Sync(real, fd);
}

int fdatasync(int fd) {
  using rowvane::reliability::SyncFunction;
  static auto* const real = rowvane::reliability::Next<SyncFunction>("fdatasync");
  return rowvane::reliability::Sync(real, fd);
}

int rename(const char* from, const char* to) noexcept {
  using rowvane::reliability::RenameFunction;
  static auto* const real = rowvane::reliability::Next<RenameFunction>("rename");
  return rowvane::reliability::Carry(rowvane::reliability::RenameVerdict(from, to),
                                     [&] { return real(from, to); });
}

int renameat(int fromFolder, const char* from, int toFolder, const char* to) noexcept {
  using rowvane::reliability::RenameAtFunction;
  static auto* const real = rowvane::reliability::Next<RenameAtFunction>("renameat");
  return rowvane::reliability::Carry(rowvane::reliability::RenameVerdict(from, to),
                                     [&] { return real(fromFolder, from, toFolder, to); });
}

int renameat2(int fromFolder, const char* from, int toFolder, const char* to,
              unsigned flags) noexcept {
  using rowvane::reliability::RenameAt2Function;
  static auto* const real = rowvane::reliability::Next<RenameAt2Function>("renameat2");
  return rowvane::reliability::Carry(rowvane::reliability::RenameVerdict(from, to),
                                     [&] { return real(fromFolder, from, toFolder, to, flags); });
}

int open(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = rowvane::reliability::ModeArgument(flags, arguments);
  va_end(arguments);
  return rowvane::reliability::Carry(rowvane::reliability::OpenVerdict(path), [&] {
    return rowvane::reliability::RealOpen()(path, flags, mode);
  });
}

int open64(const char* path, int flags, ...) {
  using rowvane::reliability::OpenFunction;
  static auto* const real = rowvane::reliability::Next<OpenFunction>("open64");
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = rowvane::reliability::ModeArgument(flags, arguments);
  va_end(arguments);
  return rowvane::reliability::Carry(rowvane::reliability::OpenVerdict(path),
                                     [&] { return real(path, flags, mode); });
}

int openat(int folder, const char* path, int flags, ...) {
  using rowvane::reliability::OpenAtFunction;
  static auto* const real = rowvane::reliability::Next<OpenAtFunction>("openat");
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = rowvane::reliability::ModeArgument(flags, arguments);
  va_end(arguments);
  return rowvane::reliability::Carry(rowvane::reliability::OpenVerdict(path),
                                     [&] { return real(folder, path, flags, mode); });
}

int openat64(int folder, const char* path, int flags, ...) {
  using rowvane::reliability::OpenAtFunction;
  static auto* const real = rowvane::reliability::Next<OpenAtFunction>("openat64");
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = rowvane::reliability::ModeArgument(flags, arguments);
  va_end(arguments);
  return rowvane::reliability::Carry(rowvane::reliability::OpenVerdict(path),
                                     [&] { return real(folder, path, flags, mode); });
}

int close(int fd) {
  using rowvane::reliability::CloseFunction;
  static auto* const real = rowvane::reliability::Next<CloseFunction>("close");
  FaultShim& shim = FaultShim::instance();
  if (!shim.watches(FaultCall::Close)) {
    return real(fd);
  }
  // The path is gone once the descriptor is closed; a failing close has
  // still released it, as on Linux.
  const auto verdict = shim.onCall(FaultCall::Close, rowvane::reliability::PathOfDescriptor(fd));
  const int result = real(fd);
  return result != 0 ? result : rowvane::reliability::Carry(verdict, [] { return 0; });
}

}  // extern "C"
