#include "cli/OutputFileConversion.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "cli/CliOptions.h"
#include "cli/DescriptorStreams.h"
#include "cli/OutputTarget.h"
#include "cli/UnnamedTemporaryFile.h"
#include "engine/Batch.h"
#include "engine/Conversion.h"
#include "engine/Files.h"
#include "engine/Layouts.h"

namespace rowvane::cli {
namespace {

/// Turns the share of the file done into byte counts for the observer.
class ShareAsBytes : public ConversionObserver {
 public:
  ShareAsBytes(BatchObserver& observer, std::uint64_t size) : m_observer(observer), m_size(size) {}
  void onProgress(double share) override {
    const auto done = static_cast<std::uint64_t>(share * static_cast<double>(m_size));
    if (done > m_reported) {
      m_observer.onBytesProcessed(done - m_reported);
      m_reported = done;
    }
  }

 private:
  BatchObserver& m_observer;
  std::uint64_t m_size;
  std::uint64_t m_reported = 0;
};

// A template that gathers groups or counts ahead reads its input twice.
bool ReadsTwice(const ConversionSettings& settings) {
  return settings.Layout == OutputLayout::Template && settings.Template &&
         settings.Template->readsTwice();
}

/// The input of one -O conversion: a file, or standard input (kept in an
/// unnamed file when it may have to be read a second time: for the encoding,
/// or for a template that reads twice).
class OneInput {
 public:
  OneInput(const std::string& path, const ConversionSettings& settings)
      : m_gunzip(path != kStandardStream && settings.GunzipInputsByName && HasGzipSuffix(path)),
        m_name(path == kStandardStream ? "-" : path.substr(path.find_last_of('/') + 1)) {
    if (path != kStandardStream) {
      m_file = std::make_unique<InputFile>(path);
    } else if (settings.InputEncoding && !ReadsTwice(settings)) {
      m_stream = std::make_unique<DescriptorSource>(STDIN_FILENO);
    } else {
      m_spool = std::make_unique<UnnamedTemporaryFile>();
      m_spool->fillFrom(STDIN_FILENO);
      m_spool->rewind();
    }
  }
  ByteSource& source() {
    if (m_file) {
      return *m_file;
    }
    if (m_stream) {
      return *m_stream;
    }
    return *m_spool;
  }
  std::uint64_t bytesRead() {
    return m_stream ? m_stream->bytesRead() : source().size().value_or(0);
  }
  /// Read as a gzip stream (by its name; standard input never is).
  bool gunzip() const { return m_gunzip; }
  /// How a template's file-name() names it.
  const std::string& name() const { return m_name; }

 private:
  // Held apart from this object, so that only the one in use is ever built.
  std::unique_ptr<InputFile> m_file;
  std::unique_ptr<DescriptorSource> m_stream;
  std::unique_ptr<UnnamedTemporaryFile> m_spool;
  bool m_gunzip;
  std::string m_name;
};

void Keep(const ConversionResult& result, FileOutcome& outcome) {
  outcome.warnings = result.warnings;
  outcome.records = result.records;
  outcome.status = result.stopped ? FileOutcome::Status::Stopped : FileOutcome::Status::Converted;
}

void ConvertToStream(OneInput& input, int fd, const ConversionSettings& settings,
                     ConversionObserver& progress, FileOutcome& outcome) {
  DescriptorSink target(fd);
  if (!settings.Schema) {
    // The stream cannot take back what it was given, so the encoding is
    // settled first by reading the input once without converting it (the
    // input is re-readable: a file, or standard input kept in a spool). What
    // is held is never more than the input. A template that reads twice
    // settles the encoding in its first read, which writes nothing.
    ConversionTuning tuning;
    tuning.inputName = input.name();
    tuning.textNotUtf8 = !settings.InputEncoding && !ReadsTwice(settings) &&
                         !CompressedTextIsUtf8(input.source(), input.gunzip(), tuning.readChunk);
    Keep(ConvertCompressed(input.source(), input.gunzip(), target, settings, progress, tuning),
         outcome);
  } else {
    // A schema's verdict comes only at the end: the output waits until it is settled.
    UnnamedTemporaryFile spool;
    ConversionTuning tuning;
    tuning.inputName = input.name();
    Keep(ConvertCompressed(input.source(), input.gunzip(), spool, settings, progress, tuning),
         outcome);
    spool.copyTo(target);
  }
  outcome.outputBytes = target.bytesWritten();
}

void ConvertToRegularFile(OneInput& input, const std::string& path,
                          const ConversionSettings& settings, bool syncToDisk,
                          ConversionObserver& progress, FileOutcome& outcome) {
  const std::string named = outcome.outputPath;  // as the user gave it, not where a link led
  ConversionTuning tuning;
  tuning.syncToDisk = syncToDisk;
  tuning.inputName = input.name();
  outcome = ConvertStreamToFile(input.source(), input.gunzip(), path, settings, progress, tuning);
  outcome.outputPath = named;
}

void Convert(const std::string& inputPath, const std::string& outputFile,
             const ConversionSettings& settings, bool syncToDisk, BatchObserver& observer,
             FileOutcome& outcome) {
  OneInput input(inputPath, settings);
  ShareAsBytes progress(observer, input.source().size().value_or(0));
  const OutputTarget target = ResolveOutputTarget(outputFile);
  switch (target.kind) {
    case OutputTarget::Kind::Descriptor:
      ConvertToStream(input, target.descriptor, settings, progress, outcome);
      break;
    case OutputTarget::Kind::InPlace: {
      const rowvane::FileDescriptor fd = OpenInPlace(target.path);
      ConvertToStream(input, fd.get(), settings, progress, outcome);
      break;
    }
    case OutputTarget::Kind::Replaced:
      StartBatch(FolderOf(target.path), {inputPath});
      ConvertToRegularFile(input, target.path, settings, syncToDisk, progress, outcome);
      break;
  }
  if (outcome.status == FileOutcome::Status::Converted) {
    outcome.inputBytes = input.bytesRead();
    progress.onProgress(1.0);
  }
}

std::optional<FileIdentity> InputIdentity(const std::string& input) {
  return input == kStandardStream ? RegularFileOn(STDIN_FILENO) : RegularFileAt(input);
}

std::optional<FileIdentity> OutputIdentity(const std::string& outputFile) {
  return outputFile == kStandardStream ? RegularFileOn(STDOUT_FILENO) : RegularFileAt(outputFile);
}

}  // namespace

bool OutputWouldReplaceInput(const std::string& input, const std::string& outputFile) {
  const auto inputFile = InputIdentity(input);
  return inputFile && inputFile == OutputIdentity(outputFile);
}

FileOutcome ConvertToOutputFile(const std::string& input, const std::string& outputFile,
                                const ConversionSettings& settings, bool syncToDisk,
                                BatchObserver& observer) {
  FileOutcome outcome;
  outcome.outputPath = outputFile == kStandardStream ? kStandardOutputName : outputFile;
  observer.onFileStarted(0);
  try {
    Convert(input, outputFile, settings, syncToDisk, observer, outcome);
  } catch (const std::exception&) {
    RecordFailureBeingHandled(outcome);
  }
  observer.onFileFinished(0, outcome);
  return outcome;
}

}  // namespace rowvane::cli
