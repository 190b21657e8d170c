#pragma once

#include <cstdint>
#include <string>

#include "engine/OutputSink.h"

namespace rowvane {

/// An output file that appears under its final name complete or not at all.
/// The bytes go to a hidden temporary file in the target's folder; commit()
/// flushes it to the disk and renames it over the target. Destroyed without
/// commit(), the temporary file is removed and the target is left as it was.
/// Errors throw ConversionError(FailureKind::Write) with the platform's message.
/// The temporary file stays locked while it is written, so a later run can
/// tell one abandoned by a killed process from one still being written.
class AtomicOutputFile : public OutputSink {
 public:
  struct Durability {
    bool syncFile = true;    ///< fsync the file before the rename
    bool syncFolder = true;  ///< fsync the folder after the rename
  };
  /// Refuses a target whose existing file is read-only for its owner.
  AtomicOutputFile(std::string targetPath, Durability durability);
  ~AtomicOutputFile() override;
  AtomicOutputFile(const AtomicOutputFile&) = delete;
  AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

  void write(const char* data, std::size_t size) override;
  void discard() override;
  /// Makes the output the target's content; the old content stays until then.
  /// Once the output has its final name, nothing throws: a failure to flush
  /// the folder afterwards is kept in folderFlushProblem().
  void commit();
  /// The platform's message when the folder could not be flushed after the
  /// rename; empty otherwise.
  const std::string& folderFlushProblem() const { return m_folderFlushProblem; }

  std::uint64_t bytesWritten() const { return m_written; }
  const std::string& temporaryPath() const { return m_temporaryPath; }

 private:
  void createTemporary();
  void removeTemporary() noexcept;
  void startWritebackWhenDue();

  std::string m_targetPath;
  std::string m_folder;
  std::string m_temporaryPath;
  std::string m_folderFlushProblem;
  int m_fd = -1;
  Durability m_durability;
  std::uint64_t m_written = 0;
  std::uint64_t m_writebackFrom = 0;  // start of the bytes not yet handed to the disk
};

/// Flushes a folder's entries to the disk; throws ConversionError(FailureKind::Write).
void SyncFolder(const std::string& folder);

/// Removes the temporary files that runs ended by force left in `folder`
/// (those nobody holds locked any more). Gives how many were removed; never
/// throws.
std::size_t RemoveAbandonedTemporaryFiles(const std::string& folder);

/// The folder part of `path`: what stands before its last separator ("/"
/// for a file in the root, "." for a bare name).
std::string FolderOf(const std::string& path);

}  // namespace rowvane
