#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "engine/batch/FileConverter.h"
#include "engine/core/GroupBounds.h"

namespace rowvane {

/// Commits a batch's finished outputs in groups instead of one flush per
/// file: the members' data are flushed together (each file's own fdatasync,
/// from several threads at once), then each takes its name in the order it
/// joined, then each folder they went to is flushed once; only then is each
/// member reported. A failed data flush fails every member of its group, each
/// leaving the earlier output as it was; nothing is retried. Without syncing,
/// each file is named as soon as it joins. Groups are committed one at a time,
/// in the order they were closed. Safe to use from several threads.
class GroupCommit {
 public:
  /// Called once per file with its final outcome, from the committing thread.
  using Report = std::function<void(std::size_t index, FileOutcome outcome)>;
  /// Called once per folder whose flush failed after outputs were named there.
  using FolderReport = std::function<void(const std::string& folder, const std::string& message)>;

  GroupCommit(GroupBounds bounds, bool syncToDisk, Report report, FolderReport folderReport);
  GroupCommit(const GroupCommit&) = delete;
  GroupCommit& operator=(const GroupCommit&) = delete;

  /// Takes the converted file `index` (prepared.output set); commits its
  /// group on this thread when a bound is met.
  void add(std::size_t index, PreparedFile prepared);
  /// Commits what is waiting; call once every file has been added.
  void finish();
  /// From now on no member takes its name: a commit under way stops before
  /// its next rename (the members it named are still flushed and reported),
  /// and every member not named, now or later, is dropped unreported.
  /// Returns the indexes of the members dropped so far, for the caller to
  /// report as stopped. Call from any thread, but not from `Report`.
  std::vector<std::size_t> stop();

 private:
  struct Member {
    std::size_t index;
    PreparedFile file;
  };
  using Group = std::vector<Member>;

  bool dueLocked(std::chrono::steady_clock::time_point now) const;
  void commit(Group group, std::size_t ticket);
  void flushData(Group& group);
  void publish(Group& group);
  void syncFolders(Group& group);
  void failAll(Group& group, int error);
  void forget(std::size_t index);
  bool unnamed(std::size_t index);

  GroupBounds m_bounds;
  bool m_syncToDisk;
  Report m_report;
  FolderReport m_folderReport;

  std::mutex m_mutex;
  Group m_open;
  std::uint64_t m_openBytes = 0;
  std::chrono::steady_clock::time_point m_openedAt;
  std::size_t m_nextTicket = 0;
  std::set<std::size_t> m_unnamed;  // added, and neither named nor failed yet
  std::atomic<bool> m_stopping{false};

  std::mutex m_commitMutex;
  std::condition_variable m_turn;
  std::size_t m_committedTickets = 0;
  std::set<std::string> m_foldersReported;
};

}  // namespace rowvane
