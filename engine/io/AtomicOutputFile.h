#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/io/FileDescriptor.h"
#include "engine/io/FolderHandle.h"
#include "engine/io/OutputSink.h"
#include "engine/io/ProcessSignals.h"

namespace rowvane {

/// An output file that appears under its final name complete or not at all.
/// The target's folder is opened once, and everything of the save happens in
/// that folder even if its path is renamed or replaced meanwhile. The bytes go
/// to an unnamed temporary file there (a hidden named one where the file
/// system refuses unnamed files), locked from its creation until it has been
/// renamed over the target, so another run's clean-up never takes it.
/// commit() flushes it to the disk and gives it the target's name; a group
/// of files is committed by flushData() of each, publish() of each, then one
/// sync() of each folder. Destroyed before it has its name, nothing is left
/// and the target is as it was.
/// Errors throw ConversionError(FailureKind::Write) with the platform's message.
class AtomicOutputFile : public OutputSink {
 public:
  struct Options {
    bool syncFile = true;                ///< fsync the file before the rename
    bool syncFolder = true;              ///< fsync the folder after the rename
    bool unnamedTemporary = true;        ///< false: always a named temporary file
    std::function<void()> beforeRename;  ///< see ConversionTuning::beforeRename
    /// The target's folder as the caller opened it (a batch opens each once);
    /// checked to be still at its path before the rename. Null: opened here.
    std::shared_ptr<FolderHandle> folder;
    /// A file the output must never replace (the input), by device and inode.
    std::optional<std::pair<std::uint64_t, std::uint64_t>> neverReplace;
  };
  /// Refuses a target whose existing file (a link followed) is read-only for
  /// its owner. The output keeps the permissions of an existing regular file,
  /// never its set-user-ID, set-group-ID or sticky bit; in place of a link it
  /// gets the default permissions.
  AtomicOutputFile(std::string targetPath, Options options);
  ~AtomicOutputFile() override;
  AtomicOutputFile(const AtomicOutputFile&) = delete;
  AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

  void write(const char* data, std::size_t size) override;
  void discard() override;
  /// Makes the output the target's content; the old content stays until then.
  /// Once the output has its final name, nothing throws: a failure to flush
  /// the folder afterwards is kept in folderFlushProblem().
  void commit();
  /// Flushes the file's bytes (and what reading them back needs) to the disk.
  void flushData();
  /// Gives the finished output the target's name, without flushing anything;
  /// the folder's sync() makes the name durable.
  void publish();
  /// The open file, for flushing it from another thread; -1 once published.
  int fd() const { return m_file.get(); }
  const std::shared_ptr<FolderHandle>& folder() const { return m_folder; }
  const std::string& targetPath() const { return m_targetPath; }
  /// The platform's message when the folder could not be flushed after the
  /// rename; empty otherwise.
  const std::string& folderFlushProblem() const { return m_folderFlushProblem; }

  std::uint64_t bytesWritten() const { return m_written; }

 private:
  void checkTarget(std::optional<mode_t>* keptMode) const;
  void createTemporary();
  bool createUnnamed();
  void createNamed();
  void giveTemporaryAName();
  void removeTemporary() noexcept;
  void startWritebackWhenDue();

  std::string m_targetPath;
  std::string m_targetName;
  std::shared_ptr<FolderHandle> m_folder;
  bool m_folderShared = false;  // from the caller: check it before the rename
  FileDescriptor m_file;
  std::string m_temporaryName;  // empty while the file has no name
  std::optional<RemovedOnTermination> m_removedOnTermination;
  std::string m_folderFlushProblem;
  Options m_options;
  std::uint64_t m_written = 0;
  std::uint64_t m_writebackFrom = 0;  // start of the bytes not yet handed to the disk
};

/// Flushes a folder's entries to the disk; throws ConversionError(FailureKind::Write).
void SyncFolder(const std::string& folder);

/// The message of the failure of an output that would replace its own input.
inline constexpr const char* kOutputWouldReplaceInput =
    "The output file would replace the input file";

/// Removes the temporary files that runs ended by force left in `folder`:
/// names of the exact form this class generates, of regular files nobody
/// holds locked, and never a file that one of `inputs` names. Gives how many
/// were removed; never throws for a file system's reason.
std::size_t RemoveAbandonedTemporaryFiles(const std::string& folder,
                                          const std::vector<std::string>& inputs = {});

/// The folder part of `path`: what stands before its last separator ("/"
/// for a file in the root, "." for a bare name).
std::string FolderOf(const std::string& path);

}  // namespace rowvane
