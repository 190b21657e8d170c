#include "engine/BatchConverter.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "engine/AtomicOutputFile.h"
#include "engine/OutputNaming.h"

namespace rowvane {
namespace {

/// Inputs that write the same output path, in list order.
std::vector<std::vector<std::size_t>> GroupByOutput(const std::vector<std::string>& inputs,
                                                    const std::string& outputFolder) {
  std::vector<std::vector<std::size_t>> groups;
  std::map<std::string, std::size_t> groupOfPath;
  for (std::size_t index = 0; index < inputs.size(); ++index) {
    const std::string path = OutputPathFor(inputs[index], outputFolder).path;
    const auto [entry, isNew] = groupOfPath.try_emplace(path, groups.size());
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
  FileProgress(BatchObserver& observer, std::mutex& mutex, std::uint64_t size)
      : m_observer(observer), m_mutex(mutex), m_size(size) {}

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
  std::uint64_t m_size;
  std::uint64_t m_reported = 0;
};

// Only for progress; asks for no memory, so that it cannot fail a file.
std::uint64_t SizeOf(const std::string& path) noexcept {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

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

/// Flushes the output folder once for the whole batch; when that fails, the
/// files it holds may not survive a crash, so each converted one says so.
void SyncOutputFolder(std::vector<FileOutcome>& outcomes, BatchObserver& observer) {
  const auto converted = std::find_if(outcomes.begin(), outcomes.end(), [](const auto& outcome) {
    return outcome.status == FileOutcome::Status::Converted;
  });
  if (converted == outcomes.end()) {
    return;
  }
  try {
    SyncFolder(FolderOf(converted->outputPath));
  } catch (const ConversionError& error) {
    for (FileOutcome& outcome : outcomes) {
      if (outcome.status == FileOutcome::Status::Converted) {
        outcome.notes.push_back(kFolderNotFlushedNote + std::string(error.what()));
      }
    }
    observer.onFolderNotFlushed(FolderOf(converted->outputPath), error.what());
  }
}

}  // namespace

std::vector<FileOutcome> ConvertBatch(const std::vector<std::string>& inputs,
                                      const std::string& outputFolder,
                                      const ConversionSettings& settings, unsigned jobs,
                                      BatchObserver& observer, const ConversionTuning& tuning) {
  std::vector<FileOutcome> outcomes(inputs.size());
  if (inputs.empty()) {
    return outcomes;
  }
  ConversionTuning fileTuning = tuning;
  fileTuning.syncFolderPerFile = false;
  const auto groups = GroupByOutput(inputs, outputFolder);
  std::atomic<std::size_t> nextGroup{0};
  std::mutex mutex;

  // Memory running out around a file fails that file only: an exception
  // leaving a worker thread would end the whole program.
  auto convertOne = [&](std::size_t index) {
    try {
      {
        const std::lock_guard lock(mutex);
        observer.onFileStarted(index);
      }
      FileProgress progress(observer, mutex, SizeOf(inputs[index]));
      outcomes[index] = ConvertFile(inputs[index], outputFolder, settings, progress, fileTuning);
    } catch (const std::bad_alloc&) {
      outcomes[index] = OutOfMemoryOutcome();
    }
    try {
      const std::lock_guard lock(mutex);
      observer.onFileFinished(index, outcomes[index]);
    } catch (const std::bad_alloc&) {
      // The outcome stands in what the batch returns; only the observer missed it.
    }
  };
  auto work = [&] {
    for (std::size_t group = nextGroup++; group < groups.size(); group = nextGroup++) {
      for (const std::size_t index : groups[group]) {
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
  if (tuning.syncToDisk) {
    SyncOutputFolder(outcomes, observer);
  }
  return outcomes;
}

}  // namespace rowvane
