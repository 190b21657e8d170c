#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/ConversionObserver.h"
#include "engine/core/ConversionSettings.h"
#include "engine/core/ConversionTuning.h"
#include "engine/core/ConversionWarnings.h"
#include "engine/core/Failure.h"
#include "engine/io/InputPlace.h"
#include "engine/io/OutputNaming.h"

namespace rowvane {

class AtomicOutputFile;
class ByteSource;
class FolderHandleCache;

/// Opening of the note when a folder could not be flushed after the output took its name.
inline constexpr const char* kFolderNotFlushedNote =
    "the output folder could not be flushed to the disk: ";

/// What became of one input file.
struct FileOutcome {
  enum class Status {
    Converted,  ///< the output file was written (a naming failure may still be listed)
    Missing,    ///< the input is not present: nothing written, nothing to report
    Failed,     ///< nothing written; an earlier output of the same name is unchanged
    Stopped,    ///< a pause was answered Stop or Leave: nothing written, nothing to report
  };
  Status status = Status::Failed;
  std::string outputPath;
  /// In the order they happened: at most a naming failure, then a read or write failure.
  std::vector<Failure> failures;
  /// Problems that did not keep the output from being written: the output
  /// folder could not be flushed to the disk, so the new file may not survive
  /// a system crash.
  std::vector<std::string> notes;
  /// What the conversion noticed about the input (only for a converted file).
  ConversionWarnings warnings;
  /// Records written to the output (only for a converted file).
  std::uint64_t records = 0;
  std::uint64_t inputBytes = 0;
  std::uint64_t outputBytes = 0;
};

/// The outcome of a file whose conversion ran out of memory: Failed, with an
/// OutOfMemory failure when even that much memory can be had, else without a
/// reason.
FileOutcome OutOfMemoryOutcome() noexcept;

/// Call in a handler of a std::exception thrown by a file's conversion: marks
/// `outcome` missing or failed by what was thrown (a missing input, a
/// conversion failure, running out of memory; anything else counts as a read
/// failure). Throws std::bad_alloc only when a failure's message cannot be kept.
void RecordFailureBeingHandled(FileOutcome& outcome);

/// Converts one CSV file into `outputFolder`, used as typed (a trailing
/// separator is kept). Streams with constant memory; the output appears atomically under its final
/// name or not at all, and the input is never written. Failures are reported in the outcome. A
/// pause answered Stop or Leave abandons the file: everything written for it is removed and the
/// outcome is Stopped. Running out of memory anywhere in it gives OutOfMemoryOutcome().
FileOutcome ConvertFile(const std::string& inputPath, const std::string& outputFolder,
                        const ConversionSettings& settings, ConversionObserver& observer,
                        const ConversionTuning& tuning = {});

/// The same, into `output` as the caller named it (OutputPathFor, or another
/// folder of the caller's choosing).
FileOutcome ConvertFile(const std::string& inputPath, const OutputName& output,
                        const ConversionSettings& settings, ConversionObserver& observer,
                        const ConversionTuning& tuning = {});

/// Converts `source`, read as a gzip stream when `gunzip`, into the file
/// `outputPath` as ConvertFile does for an input file: atomically, the outcome
/// carrying what it converted or why not (never thrown). The caller checks
/// the output's folder first (StartBatch) and counts the input's bytes.
FileOutcome ConvertStreamToFile(ByteSource& source, bool gunzip, const std::string& outputPath,
                                const ConversionSettings& settings, ConversionObserver& observer,
                                const ConversionTuning& tuning = {});

/// A converted file whose output is finished but has not yet taken its name.
struct PreparedFile {
  PreparedFile();
  PreparedFile(PreparedFile&&) noexcept;
  PreparedFile& operator=(PreparedFile&&) noexcept;
  ~PreparedFile();

  /// Converted when `output` waits for its name; else as ConvertFile says.
  FileOutcome outcome;
  /// Null unless converted. Destroyed unpublished, it leaves nothing.
  std::unique_ptr<AtomicOutputFile> output;
};

/// ConvertFile up to the point where the output would be flushed and named,
/// with the output's folder taken from `folders`. The caller flushes and
/// publishes `output` (see AtomicOutputFile), or drops it. With `place`, the
/// input is opened there (InputPlace) and `inputPath` only names it.
PreparedFile PrepareFile(const std::string& inputPath, const OutputName& output,
                         const ConversionSettings& settings, ConversionObserver& observer,
                         const ConversionTuning& tuning, FolderHandleCache& folders,
                         const InputPlace* place = nullptr);

}  // namespace rowvane
