#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace rowvane::cli {

/// Where the progress display takes the time from; tests pass a fake.
using SteadyClock = std::function<std::chrono::steady_clock::time_point()>;

/// A one-line progress display for a terminal: files converted of total, the
/// failed ones, the share of the batch's bytes, bytes processed (of the total
/// when known), the average rate so far and, once a run has gone on for
/// `kTimeLeftAfter`, the time left at that rate, e.g.
/// "3/10 files, 1 failed  60%  120.5 MB of 200.0 MB  85.2 MB/s  1 min 10 s left".
/// A file counts as converted only once its output has taken its name; one
/// whose output is written and waits for its group's flush shows meanwhile
/// as "5 being flushed" after the files converted.
/// The line is rewritten in place with a carriage return, at most once per
/// `kRedrawInterval`.
class ProgressDisplay {
 public:
  static constexpr std::chrono::milliseconds kRedrawInterval{100};
  /// Short runs end before an estimate could help; it only shows after this.
  static constexpr std::chrono::seconds kTimeLeftAfter{5};

  /// `totalBytes` of 0 means unknown. The clock is read once here: the rate
  /// counts from this moment.
  ProgressDisplay(std::ostream& out, SteadyClock clock, std::size_t totalFiles,
                  std::uint64_t totalBytes);

  void addBytes(std::uint64_t delta);
  /// A file's output is complete and waits for its group's flush.
  void fileWritten();
  /// A file's output took its name; `wasWritten`: it was counted by fileWritten.
  void fileConverted(bool wasWritten = false);
  /// A file was missing or could not be converted.
  void fileFailed(bool wasWritten = false);
  /// Erases the line so that other text can be written on a line of its own;
  /// the next redraw puts it back.
  void clear();
  /// Erases the line for good: the batch's summary takes its place.
  void finish();

 private:
  using TimePoint = std::chrono::steady_clock::time_point;
  std::string lineAt(TimePoint now) const;
  void redrawIfDue();
  void draw(TimePoint now);

  std::ostream& m_out;
  SteadyClock m_clock;
  TimePoint m_start;
  TimePoint m_lastDraw;
  std::size_t m_shownLength = 0;  // characters of the line now on screen; 0 when none
  std::size_t m_totalFiles;
  std::size_t m_filesConverted = 0;
  std::size_t m_filesFailed = 0;
  std::size_t m_filesWaiting = 0;  // written, waiting for their group's flush
  std::uint64_t m_totalBytes;
  std::uint64_t m_bytesDone = 0;
};

/// A byte count for people: "512 B", "1.5 kB", "120.5 MB", "3.2 GB" (powers of 1000).
std::string FormatBytes(std::uint64_t bytes);

/// A duration for people, to the second: "45 s", "2 min 5 s", "1 h 3 min".
std::string FormatDuration(std::chrono::seconds duration);

}  // namespace rowvane::cli
