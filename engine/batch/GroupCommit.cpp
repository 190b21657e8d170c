#include "engine/batch/GroupCommit.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <map>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "engine/io/AtomicOutputFile.h"
#include "engine/io/FileFlush.h"
#include "engine/io/SystemError.h"

namespace rowvane {
namespace {

/// fdatasync of every file, from up to `threads` threads at once; the first
/// error met, or 0. The calling thread flushes too, so fewer threads than
/// asked (or none) only make it slower.
int FlushTogether(const std::vector<int>& files, std::size_t threads) {
  if (files.empty()) {
    return 0;
  }
  std::atomic<std::size_t> next{0};
  std::atomic<int> firstError{0};
  auto work = [&] {
    for (std::size_t i = next++; i < files.size(); i = next++) {
      if (const int error = FlushFileData(files[i]); error != 0) {
        int none = 0;
        firstError.compare_exchange_strong(none, error);
      }
    }
  };
  std::vector<std::jthread> helpers;
  try {
    const std::size_t count = std::min(std::max<std::size_t>(threads, 1), files.size()) - 1;
    helpers.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      helpers.emplace_back(work);
    }
  } catch (const std::system_error&) {
    // No more threads to be had.
  } catch (const std::bad_alloc&) {
    // No memory for another thread.
  }
  work();
  helpers.clear();  // joins
  return firstError.load();
}

}  // namespace

GroupCommit::GroupCommit(GroupBounds bounds, bool syncToDisk, Report report,
                         FolderReport folderReport)
    : m_bounds(bounds),
      m_syncToDisk(syncToDisk),
      m_report(std::move(report)),
      m_folderReport(std::move(folderReport)) {
  m_open.reserve(m_bounds.files);
}

bool GroupCommit::dueLocked(std::chrono::steady_clock::time_point now) const {
  return !m_syncToDisk || m_open.size() >= m_bounds.files || m_openBytes >= m_bounds.bytes ||
         now - m_openedAt >= m_bounds.age;
}

void GroupCommit::add(std::size_t index, PreparedFile prepared) {
  const auto now = std::chrono::steady_clock::now();
  Group closed;
  std::size_t ticket = 0;
  {
    const std::lock_guard lock(m_mutex);
    if (m_stopping.load()) {
      return;  // dropped: the output goes with `prepared`
    }
    m_unnamed.insert(index);
    if (m_open.empty()) {
      m_openedAt = now;
    }
    m_openBytes += prepared.outcome.outputBytes;
    m_open.push_back({index, std::move(prepared)});
    if (!dueLocked(now)) {
      return;
    }
    closed.swap(m_open);
    m_openBytes = 0;
    ticket = m_nextTicket++;
  }
  commit(std::move(closed), ticket);
}

void GroupCommit::finish() {
  Group closed;
  std::size_t ticket = 0;
  {
    const std::lock_guard lock(m_mutex);
    closed.swap(m_open);
    m_openBytes = 0;
    ticket = m_nextTicket++;
  }
  commit(std::move(closed), ticket);
}

void GroupCommit::commit(Group group, std::size_t ticket) {
  std::unique_lock lock(m_commitMutex);
  // Outputs of the same name must take it in list order, so groups are named in turn.
  m_turn.wait(lock, [&] { return m_committedTickets == ticket; });
  if (m_syncToDisk && !m_stopping.load()) {
    flushData(group);
  }
  publish(group);
  if (m_syncToDisk) {
    syncFolders(group);
  }
  for (Member& member : group) {
    member.file.output.reset();  // a member not named leaves nothing
    if (member.file.outcome.status == FileOutcome::Status::Converted && unnamed(member.index)) {
      continue;  // dropped before its rename: the stopping caller reports it
    }
    forget(member.index);
    m_report(member.index, std::move(member.file.outcome));
  }
  ++m_committedTickets;
  lock.unlock();
  m_turn.notify_all();
}

void GroupCommit::flushData(Group& group) {
  std::vector<int> files;
  files.reserve(group.size());
  for (const Member& member : group) {
    files.push_back(member.file.output->fd());
  }
  if (const int error = FlushTogether(files, m_bounds.flushThreads); error != 0) {
    // Which member's data reached the disk is not known for sure once one
    // flush failed: none takes its name.
    failAll(group, error);
  }
}

void GroupCommit::failAll(Group& group, int error) {
  for (Member& member : group) {
    member.file.output.reset();
    FileOutcome& outcome = member.file.outcome;
    outcome.status = FileOutcome::Status::Failed;
    outcome.failures.push_back({FailureKind::Write, SystemMessage(error), error});
  }
}

std::vector<std::size_t> GroupCommit::stop() {
  m_stopping.store(true);
  // A commit under way sees the flag before its next rename and finishes
  // what it named; waiting for it leaves every other member unnamed for good.
  const std::lock_guard commitLock(m_commitMutex);
  const std::lock_guard lock(m_mutex);
  for (Member& member : m_open) {
    member.file.output.reset();
  }
  m_open.clear();
  return {m_unnamed.begin(), m_unnamed.end()};
}

void GroupCommit::forget(std::size_t index) {
  const std::lock_guard lock(m_mutex);
  m_unnamed.erase(index);
}

bool GroupCommit::unnamed(std::size_t index) {
  const std::lock_guard lock(m_mutex);
  return m_unnamed.contains(index);
}

void GroupCommit::publish(Group& group) {
  for (Member& member : group) {
    if (!member.file.output) {
      continue;
    }
    if (m_stopping.load()) {
      member.file.output.reset();
      continue;  // stays unnamed, for the stopping caller to report
    }
    try {
      member.file.output->publish();
      forget(member.index);
    } catch (const std::exception&) {
      member.file.output.reset();
      RecordFailureBeingHandled(member.file.outcome);
    }
  }
}

void GroupCommit::syncFolders(Group& group) {
  std::map<const FolderHandle*, std::string> problems;
  for (const Member& member : group) {
    const AtomicOutputFile* output = member.file.output.get();
    if (output == nullptr || problems.contains(output->folder().get())) {
      continue;
    }
    std::string& problem = problems[output->folder().get()];
    try {
      output->folder()->sync();
    } catch (const ConversionError& error) {
      problem = error.what();
    }
  }
  for (Member& member : group) {
    const AtomicOutputFile* output = member.file.output.get();
    if (output == nullptr) {
      continue;
    }
    const std::string& problem = problems[output->folder().get()];
    if (problem.empty()) {
      continue;
    }
    // The output stands; only its durability is in doubt.
    member.file.outcome.notes.push_back(kFolderNotFlushedNote + problem);
    const std::string folder = FolderOf(output->targetPath());
    if (m_foldersReported.insert(folder).second) {
      m_folderReport(folder, problem);
    }
  }
}

}  // namespace rowvane
