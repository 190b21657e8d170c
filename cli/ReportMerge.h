#pragma once

#include <cstdint>
#include <istream>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "cli/FailureReport.h"

namespace rowvane::cli {

/// --merge-reports: the reports of the shares of one batch (or of any runs)
/// read one after another as streams, then one totals line in the form of a
/// run's own. Says, as it reads, each failed, stopped or refused input on
/// `err`, and at the end what makes the whole incomplete: shares missing or
/// given twice, counts of shares that disagree, reports without totals or
/// ended by a signal, lines that are no report lines, and inputs (with an
/// output) found in more than one report. Inputs are told apart by a 128-bit
/// hash of their names, so memory grows by 24 bytes an input, not by names.
class ReportMerge {
 public:
  explicit ReportMerge(std::ostream& err) : m_err(err) {}

  /// Reads one report to its end; `name` is how messages call it.
  void read(std::istream& report, const std::string& name);
  /// A report that could not be opened: the whole is incomplete.
  void unreadable(const std::string& name, const std::string& reason);

  /// Writes the merged totals line to `out` and the summary to `err`;
  /// AllConverted, SomeFailed, or Incomplete when anything above is missing.
  ExitStatus finish(std::ostream& out);

 private:
  struct Key {
    std::uint64_t first = 0;
    std::uint64_t second = 0;
    std::uint32_t report = 0;
    bool operator<(const Key& other) const {
      return first != other.first ? first < other.first : second < other.second;
    }
  };
  struct Counts {
    std::uint64_t files = 0;
    std::uint64_t converted = 0;
    std::uint64_t failed = 0;
    std::uint64_t skipped = 0;
    std::uint64_t stopped = 0;
    std::uint64_t warnings = 0;
    std::uint64_t records = 0;
    std::uint64_t bytesIn = 0;
    std::uint64_t bytesOut = 0;
  };
  struct ShareSeen {
    std::uint64_t index;
    std::uint64_t count;
    std::uint32_t report;
  };

  bool readLine(const std::string& line, const std::string& name, std::uint64_t number,
                std::vector<Key>& keys, bool& closed);
  void problem(const std::string& text);
  void checkShares();
  void absorb(std::vector<Key>& keys);

  std::ostream& m_err;
  std::vector<std::string> m_names;
  std::vector<Key> m_seen;  // of the reports read before, sorted
  Counts m_counts;
  double m_seconds = 0;
  bool m_interrupted = false;
  std::uint64_t m_failures = 0;
  std::uint64_t m_problems = 0;
  std::uint32_t m_withoutShare = 0;
  std::vector<ShareSeen> m_shares;
};

/// The whole of --merge-reports: each of `reports` (a file, or "-" for
/// standard input) merged, the totals on `out`, everything else on `err`.
ExitStatus MergeReports(const std::vector<std::string>& reports, std::ostream& out,
                        std::ostream& err);

}  // namespace rowvane::cli
