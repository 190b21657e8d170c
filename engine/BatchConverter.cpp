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

/// Flushes each output folder once for the whole batch; when that fails, the
/// files it holds may not survive a crash, so each converted one says so.
void SyncOutputFolders(const std::vector<BatchFile>& files, std::vector<FileOutcome>& outcomes,
                       BatchObserver& observer) {
  for (const std::string& folder : OutputFoldersOf(files)) {
    auto convertedHere = [&](std::size_t index) {
      return outcomes[index].status == FileOutcome::Status::Converted &&
             FolderOf(outcomes[index].outputPath) == folder;
    };
    std::vector<std::size_t> converted;
    for (std::size_t index = 0; index < outcomes.size(); ++index) {
      if (convertedHere(index)) {
        converted.push_back(index);
      }
    }
    if (converted.empty()) {
      continue;
    }
    try {
      SyncFolder(folder);
    } catch (const ConversionError& error) {
      for (const std::size_t index : converted) {
        outcomes[index].notes.push_back(kFolderNotFlushedNote + std::string(error.what()));
      }
      observer.onFolderNotFlushed(folder, error.what());
    }
  }
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
  ConversionTuning fileTuning = tuning;
  fileTuning.syncFolderPerFile = false;
  const auto groups = GroupByOutput(files);
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
      const BatchFile& file = files[index];
      FileProgress progress(observer, mutex, SizeOf(file.input));
      outcomes[index] = ConvertFile(file.input, file.output, settings, progress, fileTuning);
      // A file that failed part-way is dealt with all the same: its bytes
      // count as processed, so the batch's share still reaches the whole.
      progress.onProgress(1.0);
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
    SyncOutputFolders(files, outcomes, observer);
  }
  return outcomes;
}

}  // namespace rowvane
