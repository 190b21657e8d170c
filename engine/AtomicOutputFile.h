#pragma once

#include <cstdint>
#include <string>

#include "OutputSink.h"

namespace rowvane {

/// An output file that appears under its final name complete or not at all.
/// The bytes go to a hidden temporary file in the target's folder; commit()
/// flushes it to the disk and renames it over the target. Destroyed without
/// commit(), the temporary file is removed and the target is left as it was.
/// Errors throw ConversionError(Step::Write) with the platform's message.
class AtomicOutputFile : public OutputSink {
 public:
  /// Refuses a target whose existing file is read-only for its owner.
  AtomicOutputFile(std::string targetPath, bool syncToDisk);
  ~AtomicOutputFile() override;
  AtomicOutputFile(const AtomicOutputFile&) = delete;
  AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

  void write(const char* data, std::size_t size) override;
  void discard() override;
  /// Makes the output the target's content; the old content stays until then.
  void commit();

  std::uint64_t bytesWritten() const { return m_written; }
  const std::string& temporaryPath() const { return m_temporaryPath; }

 private:
  void createTemporary();
  void removeTemporary() noexcept;

  std::string m_targetPath;
  std::string m_folder;
  std::string m_temporaryPath;
  int m_fd = -1;
  bool m_sync;
  std::uint64_t m_written = 0;
};

/// The folder part of `path`: what stands before its last separator ("/"
/// for a file in the root, "." for a bare name).
std::string FolderOf(const std::string& path);

}  // namespace rowvane
