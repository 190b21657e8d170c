#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "cli/Shard.h"
#include "engine/Conversion.h"

namespace rowvane::cli {

/// What became of an input, as the report names it.
enum class ReportStatus { Converted, Failed, Skipped, Stopped };

/// The --report file: JSON Lines, one object per input as it is done, each
/// line flushed at once, then one object of totals. A file line:
///   {"type":"file","input":...,"output":...,"status":...,"reason":...,
///    "errno":...,"warnings":[...],"records":N,"bytes_in":N,"bytes_out":N,
///    "seconds":F}
/// Names that are not UTF-8 are written as EscapeForDisplay shows them, with
/// "input_escaped" (or "output_escaped") true. The totals carry
/// "shard":"K/N" when the run converted one share, and "interrupted":true
/// when a signal ended it.
class RunReport {
 public:
  /// `out` must outlive the report.
  explicit RunReport(std::ostream& out, std::optional<Shard> shard = std::nullopt)
      : m_out(out), m_shard(shard) {}

  /// An input the engine converted or failed; `output` is where it was to go.
  void finished(const std::string& input, const std::string& output, const FileOutcome& outcome,
                double seconds);
  /// An input left out before converting (-n, a folder without -r).
  void skipped(const std::string& input, const std::optional<std::string>& output,
               const std::string& reason);
  /// An input the run ended before it was done.
  void stopped(const std::string& input, const std::string& output, const std::string& reason);
  /// The closing line; `interrupted` when a signal ends the run.
  void totals(double seconds, bool interrupted = false);

 private:
  struct Line;
  void write(const Line& line);

  std::ostream& m_out;
  std::optional<Shard> m_shard;
  std::array<std::uint64_t, 4> m_counts{};  // by ReportStatus
  std::uint64_t m_warnings = 0;
  std::uint64_t m_records = 0;
  std::uint64_t m_bytesIn = 0;
  std::uint64_t m_bytesOut = 0;
};

}  // namespace rowvane::cli
