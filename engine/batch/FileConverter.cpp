#include "engine/batch/FileConverter.h"

#include <memory>
#include <new>
#include <optional>
#include <system_error>
#include <utility>

#include "engine/batch/CompressedConversion.h"
#include "engine/io/AtomicOutputFile.h"
#include "engine/io/BackgroundWriter.h"
#include "engine/io/FolderHandleCache.h"
#include "engine/io/InputFile.h"
#include "engine/io/OutputNaming.h"

namespace rowvane {
namespace {

constexpr const char* kNoDot = "The file name has no dot; the output is named with \".xml\" added";
constexpr const char* kOutOfMemory = "Out of memory";
// Inputs from this size on are written by a second thread while converting.
constexpr std::uint64_t kBackgroundWriteFrom = std::uint64_t{4} << 20;

/// A writer on a second thread for a large input; none for a small one, or
/// when the system gives no thread, which only makes the file slower.
std::optional<BackgroundWriter> BackgroundWriterFor(const InputFile& input, OutputSink& output) {
  if (input.size().value_or(0) < kBackgroundWriteFrom) {
    return std::nullopt;
  }
  try {
    return std::optional<BackgroundWriter>(std::in_place, output);
  } catch (const std::system_error&) {
    return std::nullopt;
  }
}

// How an output is saved under `tuning`; the folder and the file it must
// never replace are the caller's.
AtomicOutputFile::Options OutputOptions(const ConversionTuning& tuning) {
  return {.syncFile = tuning.syncToDisk,
          .syncFolder = tuning.syncToDisk,
          .unnamedTemporary = tuning.unnamedTemporary,
          .beforeRename = tuning.beforeRename,
          .folder = {},
          .neverReplace = {}};
}

// What a finished conversion tells the outcome of its file.
void TakeResult(const ConversionResult& result, const AtomicOutputFile& output,
                FileOutcome& outcome) {
  outcome.warnings = result.warnings;
  outcome.records = result.records;
  outcome.outputBytes = output.bytesWritten();
}

// Gives `output` its name; a folder that could not be flushed after it is a
// note, since the file itself is there.
void Publish(AtomicOutputFile& output, FileOutcome& outcome) {
  output.commit();
  if (!output.folderFlushProblem().empty()) {
    outcome.notes.push_back(kFolderNotFlushedNote + output.folderFlushProblem());
  }
}

std::unique_ptr<AtomicOutputFile> ConvertIntoTemporary(
    InputFile& input, const std::string& inputPath, const std::string& outputPath,
    const ConversionSettings& settings, ConversionObserver& observer,
    const ConversionTuning& tuning, FolderHandleCache* folders, FileOutcome& outcome) {
  AtomicOutputFile::Options options = OutputOptions(tuning);
  if (folders != nullptr) {
    options.folder = folders->open(FolderOf(outputPath));
  }
  options.neverReplace = std::pair{input.device(), input.inode()};
  auto output = std::make_unique<AtomicOutputFile>(outputPath, std::move(options));
  std::optional<BackgroundWriter> writer = BackgroundWriterFor(input, *output);
  const bool gunzip = settings.GunzipInputsByName && HasGzipSuffix(inputPath);
  ConversionTuning named = tuning;
  named.inputName = inputPath.substr(inputPath.find_last_of('/') + 1);
  ConversionResult result;
  if (writer) {
    result = ConvertCompressed(input, gunzip, *writer, settings, observer, named);
  } else {
    result = ConvertCompressed(input, gunzip, *output, settings, observer, named);
  }
  if (result.stopped) {
    // Destroyed unpublished, the output leaves nothing behind.
    outcome.status = FileOutcome::Status::Stopped;
    outcome.failures.clear();
    return nullptr;
  }
  if (writer) {
    writer->finish();
  }
  // Last, so that a change made while the output was being finished counts too.
  input.throwIfChangedSinceOpened();
  TakeResult(result, *output, outcome);
  return output;
}

PreparedFile PrepareOrThrowBadAlloc(const std::string& inputPath, const OutputName& name,
                                    const ConversionSettings& settings,
                                    ConversionObserver& observer, const ConversionTuning& tuning,
                                    FolderHandleCache* folders, const InputPlace* place) {
  PreparedFile prepared;
  FileOutcome& outcome = prepared.outcome;
  // Room for the most failures a file can have (a naming one, then one more),
  // so that running out of memory later can still be recorded: the out of
  // memory failure's short message needs no memory of its own.
  outcome.failures.reserve(2);
  outcome.outputPath = name.path;
  try {
    InputFile input = place != nullptr ? InputFile(inputPath, *place) : InputFile(inputPath);
    outcome.inputBytes = input.size().value_or(0);
    observer.onInputOpened(outcome.inputBytes);
    if (!name.hadDot) {
      outcome.failures.push_back({FailureKind::Name, kNoDot});
    }
    try {
      prepared.output = ConvertIntoTemporary(input, inputPath, name.path, settings, observer,
                                             tuning, folders, outcome);
      if (prepared.output) {
        outcome.status = FileOutcome::Status::Converted;
      }
      return prepared;
    } catch (const ConversionError& error) {
      if (error.kind() == FailureKind::Read) {
        outcome.failures.clear();  // a file that cannot be read is skipped whole
      }
      throw;
    }
  } catch (const std::exception&) {
    RecordFailureBeingHandled(outcome);
  }
  return prepared;
}

FileOutcome ConvertFileOrThrowBadAlloc(const std::string& inputPath, const OutputName& name,
                                       const ConversionSettings& settings,
                                       ConversionObserver& observer,
                                       const ConversionTuning& tuning) {
  PreparedFile prepared =
      PrepareOrThrowBadAlloc(inputPath, name, settings, observer, tuning, nullptr, nullptr);
  if (prepared.output) {
    try {
      Publish(*prepared.output, prepared.outcome);
    } catch (const std::exception&) {
      RecordFailureBeingHandled(prepared.outcome);
    }
  }
  return std::move(prepared.outcome);
}

}  // namespace

void RecordFailureBeingHandled(FileOutcome& outcome) {
  try {
    throw;
  } catch (const InputMissing&) {
    outcome.status = FileOutcome::Status::Missing;
  } catch (const ConversionError& error) {
    outcome.status = FileOutcome::Status::Failed;
    outcome.failures.push_back(error.failure());
  } catch (const std::bad_alloc&) {
    outcome.status = FileOutcome::Status::Failed;
    outcome.failures.clear();  // keeps the room reserved, so nothing is asked of memory
    outcome.failures.push_back({FailureKind::OutOfMemory, kOutOfMemory});
  } catch (const std::system_error& error) {
    outcome.status = FileOutcome::Status::Failed;
    const bool isErrno = error.code().category() == std::generic_category() ||
                         error.code().category() == std::system_category();
    outcome.failures.assign(
        {{FailureKind::Read, error.what(), isErrno ? error.code().value() : 0}});
  } catch (const std::exception& error) {
    outcome.status = FileOutcome::Status::Failed;
    outcome.failures.assign({{FailureKind::Read, error.what()}});
  }
}

PreparedFile::PreparedFile() = default;
PreparedFile::PreparedFile(PreparedFile&&) noexcept = default;
PreparedFile& PreparedFile::operator=(PreparedFile&&) noexcept = default;
PreparedFile::~PreparedFile() = default;

PreparedFile PrepareFile(const std::string& inputPath, const OutputName& output,
                         const ConversionSettings& settings, ConversionObserver& observer,
                         const ConversionTuning& tuning, FolderHandleCache& folders,
                         const InputPlace* place) {
  try {
    return PrepareOrThrowBadAlloc(inputPath, output, settings, observer, tuning, &folders, place);
  } catch (const std::bad_alloc&) {
    PreparedFile failed;
    failed.outcome = OutOfMemoryOutcome();
    return failed;
  }
}

FileOutcome OutOfMemoryOutcome() noexcept {
  FileOutcome outcome;
  outcome.status = FileOutcome::Status::Failed;
  try {
    outcome.failures.push_back({FailureKind::OutOfMemory, kOutOfMemory});
  } catch (const std::bad_alloc&) {
    // Still a failure; it goes without its reason.
  }
  return outcome;
}

FileOutcome ConvertFile(const std::string& inputPath, const OutputName& output,
                        const ConversionSettings& settings, ConversionObserver& observer,
                        const ConversionTuning& tuning) {
  try {
    return ConvertFileOrThrowBadAlloc(inputPath, output, settings, observer, tuning);
  } catch (const std::bad_alloc&) {
    // Recording a failure needed memory there was none of.
    return OutOfMemoryOutcome();
  }
}

FileOutcome ConvertFile(const std::string& inputPath, const std::string& outputFolder,
                        const ConversionSettings& settings, ConversionObserver& observer,
                        const ConversionTuning& tuning) {
  try {
    return ConvertFile(inputPath, OutputPathFor(inputPath, outputFolder), settings, observer,
                       tuning);
  } catch (const std::bad_alloc&) {
    // Naming the output needed memory there was none of.
    return OutOfMemoryOutcome();
  }
}

FileOutcome ConvertStreamToFile(ByteSource& source, bool gunzip, const std::string& outputPath,
                                const ConversionSettings& settings, ConversionObserver& observer,
                                const ConversionTuning& tuning) {
  FileOutcome outcome;
  outcome.failures.reserve(2);  // as in PrepareOrThrowBadAlloc
  outcome.outputPath = outputPath;
  try {
    AtomicOutputFile output(outputPath, OutputOptions(tuning));
    const ConversionResult result =
        ConvertCompressed(source, gunzip, output, settings, observer, tuning);
    if (result.stopped) {
      outcome.status = FileOutcome::Status::Stopped;
      return outcome;
    }
    TakeResult(result, output, outcome);
    Publish(output, outcome);
    outcome.status = FileOutcome::Status::Converted;
  } catch (const std::exception&) {
    RecordFailureBeingHandled(outcome);
  }
  return outcome;
}

}  // namespace rowvane
