#include "engine/batch/BatchConverter.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "engine/batch/BatchStop.h"
#include "engine/batch/GroupCommit.h"
#include "engine/io/AtomicOutputFile.h"
#include "engine/io/FolderHandleCache.h"
#include "engine/io/OutputNaming.h"

namespace rowvane {
namespace {

/// Inputs that write the same output path, in list order.
std::vector<std::vector<std::size_t>> GroupByOutput(const std::vector<BatchFile>& files) {
  std::vector<std::vector<std::size_t>> groups;
  std::map<std::string, std::size_t> groupOfPath;
  for (std::size_t index = 0; index < files.size(); ++index) {
    const auto [entry, isNew] = groupOfPath.try_emplace(files[index].output.path, groups.size());
    if (isNew) {
      groups.emplace_back();
    }
    groups[entry->second].push_back(index);
  }
  return groups;
}

/// Turns one file's progress share into byte counts for the batch.
class FileProgress : public ConversionObserver {
 public:
  FileProgress(BatchObserver& observer, std::mutex& mutex) : m_observer(observer), m_mutex(mutex) {}

  void onInputOpened(std::uint64_t size) override { m_size = size; }
  void onProgress(double share) override {
    const auto done = static_cast<std::uint64_t>(share * static_cast<double>(m_size));
    if (done > m_reported) {
      const std::lock_guard lock(m_mutex);
      m_observer.onBytesProcessed(done - m_reported);
      m_reported = done;
    }
  }

 private:
  BatchObserver& m_observer;
  std::mutex& m_mutex;
  std::uint64_t m_size = 0;
  std::uint64_t m_reported = 0;
};

/// Starts `count` threads running `work`, or as many as the system gives:
/// a batch with fewer workers still converts every file.
template <typename Work>
std::vector<std::jthread> StartWorkers(std::size_t count, const Work& work) noexcept {
  std::vector<std::jthread> workers;
  try {
    workers.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      workers.emplace_back(work);
    }
  } catch (const std::system_error&) {
    // No more threads to be had ("Resource temporarily unavailable").
  } catch (const std::bad_alloc&) {
    // No memory for another thread.
  }
  return workers;
}

}  // namespace

std::vector<std::string> OutputFoldersOf(const std::vector<BatchFile>& files) {
  std::vector<std::string> folders;
  for (const BatchFile& file : files) {
    std::string folder = FolderOf(file.output.path);
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
      folders.push_back(std::move(folder));
    }
  }
  return folders;
}

std::vector<BatchFile> PlanBatch(const std::vector<std::string>& inputs,
                                 const std::string& outputFolder) {
  std::vector<BatchFile> files;
  files.reserve(inputs.size());
  for (const std::string& input : inputs) {
    files.push_back({input, OutputPathFor(input, outputFolder)});
  }
  return files;
}

std::vector<FileOutcome> ConvertBatch(const std::vector<std::string>& inputs,
                                      const std::string& outputFolder,
                                      const ConversionSettings& settings, unsigned jobs,
                                      BatchObserver& observer, const ConversionTuning& tuning) {
  return ConvertPlannedBatch(PlanBatch(inputs, outputFolder), settings, jobs, observer, tuning);
}

std::vector<FileOutcome> ConvertPlannedBatch(const std::vector<BatchFile>& files,
                                             const ConversionSettings& settings, unsigned jobs,
                                             BatchObserver& observer,
                                             const ConversionTuning& tuning) {
  std::vector<FileOutcome> outcomes(files.size());
  if (files.empty()) {
    return outcomes;
  }
  const auto groups = GroupByOutput(files);
  std::atomic<std::size_t> nextGroup{0};
  std::mutex mutex;
  FolderHandleCache folders;
  std::vector<bool> finished(files.size(), false);  // reported; under `mutex`
  std::atomic<bool> stopped{false};

  auto report = [&](std::size_t index, FileOutcome outcome) {
    try {
      const std::lock_guard lock(mutex);
      if (finished[index]) {
        return;  // reported as stopped already
      }
      finished[index] = true;
      outcomes[index] = std::move(outcome);
      observer.onFileFinished(index, outcomes[index]);
    } catch (const std::bad_alloc&) {
      // The outcome stands in what the batch returns; only the observer missed it.
    }
  };
  auto reportFolder = [&](const std::string& folder, const std::string& message) {
    const std::lock_guard lock(mutex);
    observer.onFolderNotFlushed(folder, message);
  };
  GroupCommit commits(tuning.groupBounds, tuning.syncToDisk, report, reportFolder);
  const BatchStop::Attached stopping(tuning.stop, [&] {
    stopped.store(true);
    const std::vector<std::size_t> written = commits.stop();
    const std::lock_guard lock(mutex);
    for (std::size_t index = 0; index < files.size(); ++index) {
      if (!finished[index]) {
        finished[index] = true;
        outcomes[index].status = FileOutcome::Status::Stopped;
        observer.onFileStopped(index, std::binary_search(written.begin(), written.end(), index));
      }
    }
  });

  // Memory running out around a file fails that file only: an exception
  // leaving a worker thread would end the whole program.
  auto convertOne = [&](std::size_t index) {
    try {
      {
        const std::lock_guard lock(mutex);
        observer.onFileStarted(index);
      }
      const BatchFile& file = files[index];
      FileProgress progress(observer, mutex);
      PreparedFile prepared = PrepareFile(file.input, file.output, settings, progress, tuning,
                                          folders, file.place ? &*file.place : nullptr);
      // A file that failed part-way is dealt with all the same: its bytes
      // count as processed, so the batch's share still reaches the whole.
      progress.onProgress(1.0);
      if (prepared.output) {
        {
          const std::lock_guard lock(mutex);
          observer.onFileWritten(index);
        }
        commits.add(index, std::move(prepared));
        return;
      }
      report(index, std::move(prepared.outcome));
    } catch (const std::bad_alloc&) {
      report(index, OutOfMemoryOutcome());
    }
  };
  auto work = [&] {
    for (std::size_t group = nextGroup++; group < groups.size(); group = nextGroup++) {
      for (const std::size_t index : groups[group]) {
        if (stopped.load()) {
          return;
        }
        convertOne(index);
      }
    }
  };

  const std::size_t workerCount =
      std::clamp<std::size_t>(jobs, 1, std::max<std::size_t>(groups.size(), 1));
  std::vector<std::jthread> workers = StartWorkers(workerCount - 1, work);
  work();  // the calling thread converts too, so a batch never lacks a worker
  for (std::jthread& worker : workers) {
    worker.join();
  }
  commits.finish();
  return outcomes;
}

}  // namespace rowvane
