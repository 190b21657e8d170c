#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rowvane::reliability {

/// The system calls the fault shim can make fail.
enum class FaultCall { Write, Read, Fsync, Rename, Open, Close };

/// One rule of a fault plan: which calls on which files fail, when, and how.
///
/// Text form, fields separated by ",":
///   call=write|read|fsync|rename|open|close   (required)
///   path=TEXT     the file's path contains TEXT (for rename: either path)
///   end=TEXT      the file's path ends with TEXT
///   error=NAME    errno to fail with: ENOSPC, EIO, EMFILE, ... (default EIO)
///   offset=N      write/read only: the call that holds byte N of the file;
///                 the bytes before N still go through (a short transfer)
///   skip=K        let the first K matching events pass (default 0)
///   times=K       events to act on (default 1; 0 means every one after skip)
///   remove=PATH   instead of failing, remove PATH (a file, or a folder with
///                 everything in it) and let the call go on
struct FaultRule {
  FaultCall call = FaultCall::Write;
  std::string pathPart;
  std::string pathEnd;
  int error = 5;  // EIO
  std::optional<std::uint64_t> offset;
  unsigned skip = 0;
  unsigned times = 1;
  std::string removePath;

  /// True when `path` is one of the rule's files.
  bool matches(std::string_view path) const;
};

/// Rules separated by ";". Throws std::invalid_argument for a malformed plan,
/// naming the part it could not read.
std::vector<FaultRule> ParseFaultPlan(std::string_view text);

/// The errno value for a name such as "ENOSPC"; nothing for an unknown name.
std::optional<int> ErrorNumberNamed(std::string_view name);

}  // namespace rowvane::reliability

extern "C" {
/// Replaces the shim's plan (the text form above; empty clears it) and resets
/// its counters. Returns 0, or -1 for a malformed plan (the old plan is then
/// cleared). Call it while no other thread makes file calls.
int rowvane_faults_configure(const char* plan);
/// Number of faults injected (failures and removals) since the last configure.
unsigned rowvane_faults_injected(void);
}
