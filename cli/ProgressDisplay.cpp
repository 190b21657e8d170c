#include "cli/ProgressDisplay.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

namespace rowvane::cli {

std::string FormatBytes(std::uint64_t bytes) {
  constexpr std::array<const char*, 5> kUnits = {"kB", "MB", "GB", "TB", "PB"};
  if (bytes < 1000) {
    return std::to_string(bytes) + " B";
  }
  auto value = static_cast<double>(bytes) / 1000.0;
  std::size_t unit = 0;
  // Move up while the value would print as 1000.0 or more in this unit.
  while (value >= 999.95 && unit + 1 < kUnits.size()) {
    value /= 1000.0;
    ++unit;
  }
  std::array<char, 32> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%.1f %s", value, kUnits[unit]);
  return buffer.data();
}

std::string FormatDuration(std::chrono::seconds duration) {
  const auto total = std::max<std::int64_t>(duration.count(), 0);
  const auto hours = total / 3600;
  const auto minutes = total % 3600 / 60;
  const auto seconds = total % 60;
  if (hours > 0) {
    return std::to_string(hours) + " h " + std::to_string(minutes) + " min";
  }
  if (minutes > 0) {
    return std::to_string(minutes) + " min " + std::to_string(seconds) + " s";
  }
  return std::to_string(seconds) + " s";
}

ProgressDisplay::ProgressDisplay(std::ostream& out, SteadyClock clock, std::size_t totalFiles,
                                 std::uint64_t totalBytes)
    : m_out(out),
      m_clock(std::move(clock)),
      m_start(m_clock()),
      m_lastDraw(m_start),
      m_totalFiles(totalFiles),
      m_totalBytes(totalBytes) {}

void ProgressDisplay::addBytes(std::uint64_t delta) {
  m_bytesDone += delta;
  redrawIfDue();
}

void ProgressDisplay::fileWritten() {
  ++m_filesWaiting;
  redrawIfDue();
}

void ProgressDisplay::fileConverted(bool wasWritten) {
  ++m_filesConverted;
  if (wasWritten && m_filesWaiting > 0) {
    --m_filesWaiting;
  }
  redrawIfDue();
}

void ProgressDisplay::fileFailed(bool wasWritten) {
  ++m_filesFailed;
  if (wasWritten && m_filesWaiting > 0) {
    --m_filesWaiting;
  }
  redrawIfDue();
}

void ProgressDisplay::clear() {
  if (m_shownLength == 0) {
    return;
  }
  m_out << '\r' << std::string(m_shownLength, ' ') << '\r';
  m_out.flush();
  m_shownLength = 0;
}

void ProgressDisplay::finish() {
  clear();
}

std::string ProgressDisplay::lineAt(TimePoint now) const {
  std::string line =
      std::to_string(m_filesConverted) + "/" + std::to_string(m_totalFiles) + " files";
  if (m_filesWaiting > 0) {
    line += ", " + std::to_string(m_filesWaiting) + " being flushed";
  }
  if (m_filesFailed > 0) {
    line += ", " + std::to_string(m_filesFailed) + " failed";
  }
  const std::uint64_t done = std::min(m_bytesDone, m_totalBytes);
  if (m_totalBytes > 0) {
    line += "  " + std::to_string(done * 100 / m_totalBytes) + "%";
  }
  line += "  " + FormatBytes(m_bytesDone);
  if (m_totalBytes > 0) {
    line += " of " + FormatBytes(m_totalBytes);
  }
  const std::chrono::duration<double> elapsed = now - m_start;
  if (elapsed.count() > 0.0) {
    const double rate = static_cast<double>(m_bytesDone) / elapsed.count();
    line += "  " + FormatBytes(static_cast<std::uint64_t>(rate)) + "/s";
    if (elapsed >= kTimeLeftAfter && rate > 0.0 && m_totalBytes > done) {
      const double secondsLeft = static_cast<double>(m_totalBytes - done) / rate;
      line += "  " + FormatDuration(std::chrono::seconds(static_cast<std::int64_t>(secondsLeft))) +
              " left";
    }
  }
  return line;
}

void ProgressDisplay::redrawIfDue() {
  const TimePoint now = m_clock();
  // Draw at once at the start and after clear(), else at most once per interval.
  if (m_shownLength == 0 || now - m_lastDraw >= kRedrawInterval) {
    draw(now);
  }
}

void ProgressDisplay::draw(TimePoint now) {
  m_lastDraw = now;
  std::string line = lineAt(now);
  const std::size_t length = line.size();
  // Blank out what is left of a longer earlier line.
  if (length < m_shownLength) {
    line.append(m_shownLength - length, ' ');
  }
  m_out << '\r' << line;
  m_out.flush();
  m_shownLength = line.size();
}

}  // namespace rowvane::cli
