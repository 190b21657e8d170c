#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/Files.h"

namespace rowvane::cli {

/// What tells one version of a file from another without reading it.
using FileStamp = FileVersion;

/// The stamp of the file at a path now; nothing when it is gone or no longer
/// a regular file.
using StampReader = std::function<std::optional<FileStamp>(const std::string&)>;

/// When a file of a watched inbox may be taken. The events cannot prove that a
/// writer is done, so a written file waits for its close, and every ready file
/// must then stay quiet, with the same size and time, for the settle time.
class InboxReadiness {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  explicit InboxReadiness(std::chrono::milliseconds settle) : m_settle(settle) {}

  /// Written to: not ready until closed after writing.
  void written(const std::string& path, TimePoint now);
  /// Each event comes with the file's stamp as read when the event was handled.
  /// Closed after writing.
  void closedAfterWrite(const std::string& path, TimePoint now, std::optional<FileStamp> stamp);
  /// Moved in, created (a link or an unnamed file made visible), found by a
  /// scan, or changed while it was read: ready.
  void arrived(const std::string& path, TimePoint now, std::optional<FileStamp> stamp);
  /// Any other event for the file (its time or rights changed): the quiet time starts again.
  void touched(const std::string& path, TimePoint now, std::optional<FileStamp> stamp);
  /// Deleted or moved away.
  void gone(const std::string& path);

  /// The files whose quiet time has passed with an unchanged stamp, in path
  /// order; they are forgotten until their next event. A ready file whose
  /// stamp changed starts its quiet time again; a file that is gone is forgotten.
  std::vector<std::string> takeDue(TimePoint now, const StampReader& stampOf);

  /// How long until the next ready file may be due; nothing when none is ready.
  std::optional<std::chrono::milliseconds> timeToNextDue(TimePoint now) const;

  bool knows(const std::string& path) const { return m_files.contains(path); }

 private:
  struct Entry {
    bool beingWritten = false;
    TimePoint lastEvent;
    std::optional<FileStamp> stamp;
  };
  Entry& entryFor(const std::string& path, TimePoint now, std::optional<FileStamp> stamp);

  std::chrono::milliseconds m_settle;
  std::map<std::string, Entry> m_files;
};

}  // namespace rowvane::cli
