#include "cli/InboxReadiness.h"

#include <algorithm>

namespace rowvane::cli {

InboxReadiness::Entry& InboxReadiness::entryFor(const std::string& path, TimePoint now,
                                                std::optional<FileStamp> stamp) {
  Entry& entry = m_files[path];
  entry.lastEvent = now;
  entry.stamp = stamp;
  return entry;
}

void InboxReadiness::written(const std::string& path, TimePoint now) {
  entryFor(path, now, std::nullopt).beingWritten = true;
}

void InboxReadiness::closedAfterWrite(const std::string& path, TimePoint now,
                                      std::optional<FileStamp> stamp) {
  entryFor(path, now, stamp).beingWritten = false;
}

void InboxReadiness::arrived(const std::string& path, TimePoint now,
                             std::optional<FileStamp> stamp) {
  // Also after lost events, whose close may have been among them: a writer
  // still at work shows by its next write.
  entryFor(path, now, stamp).beingWritten = false;
}

void InboxReadiness::touched(const std::string& path, TimePoint now,
                             std::optional<FileStamp> stamp) {
  entryFor(path, now, stamp);
}

void InboxReadiness::gone(const std::string& path) {
  m_files.erase(path);
}

std::vector<std::string> InboxReadiness::takeDue(TimePoint now, const StampReader& stampOf) {
  std::vector<std::string> due;
  for (auto it = m_files.begin(); it != m_files.end();) {
    Entry& entry = it->second;
    if (entry.beingWritten || now - entry.lastEvent < m_settle) {
      ++it;
      continue;
    }
    const std::optional<FileStamp> stamp = stampOf(it->first);
    if (!stamp) {
      it = m_files.erase(it);
      continue;
    }
    // A change that raised no event (a write through a mapping) shows as a
    // different stamp: the quiet time starts again from now.
    if (entry.stamp != stamp) {
      entry.stamp = stamp;
      entry.lastEvent = now;
      ++it;
      continue;
    }
    due.push_back(it->first);
    it = m_files.erase(it);
  }
  return due;
}

std::optional<std::chrono::milliseconds> InboxReadiness::timeToNextDue(TimePoint now) const {
  std::optional<std::chrono::milliseconds> next;
  for (const auto& [path, entry] : m_files) {
    if (entry.beingWritten) {
      continue;
    }
    const auto left = std::max(
        std::chrono::duration_cast<std::chrono::milliseconds>(entry.lastEvent + m_settle - now),
        std::chrono::milliseconds(0));
    next = next ? std::min(*next, left) : left;
  }
  return next;
}

}  // namespace rowvane::cli
