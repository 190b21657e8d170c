#include "engine/FileConverter.h"

#include <sys/stat.h>

#include <new>

#include "engine/AtomicOutputFile.h"
#include "engine/BackgroundWriter.h"
#include "engine/CsvToXml.h"
#include "engine/InputFile.h"
#include "engine/OutputNaming.h"

namespace rowvane {
namespace {

constexpr const char* kNoDot = "The file name has no dot; the output is named with \".xml\" added";
constexpr const char* kOutputIsInput = "The output file would replace the input file";
constexpr const char* kOutOfMemory = "Out of memory";
// Inputs from this size on are written by a second thread while converting.
constexpr std::uint64_t kBackgroundWriteFrom = std::uint64_t{4} << 20;

bool NamesSameFile(const std::string& path, const InputFile& input) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 &&
         static_cast<std::uint64_t>(info.st_dev) == input.device() &&
         static_cast<std::uint64_t>(info.st_ino) == input.inode();
}

void Convert(InputFile& input, const std::string& outputPath, const ConversionSettings& settings,
             ConversionObserver& observer, const ConversionTuning& tuning, FileOutcome& outcome) {
  if (NamesSameFile(outputPath, input)) {
    throw ConversionError(FailureKind::Write, kOutputIsInput);
  }
  AtomicOutputFile output(outputPath,
                          {tuning.syncToDisk, tuning.syncToDisk && tuning.syncFolderPerFile});
  if (input.size().value_or(0) >= kBackgroundWriteFrom) {
    BackgroundWriter writer(output);
    outcome.utf8Replacements = ConvertCsvToXml(input, writer, settings, observer, tuning);
    writer.finish();
  } else {
    outcome.utf8Replacements = ConvertCsvToXml(input, output, settings, observer, tuning);
  }
  output.commit();
  outcome.outputBytes = output.bytesWritten();
  if (!output.folderFlushProblem().empty()) {
    outcome.notes.push_back(kFolderNotFlushedNote + output.folderFlushProblem());
  }
}

}  // namespace

FileOutcome ConvertFile(const std::string& inputPath, const ConversionSettings& settings,
                        ConversionObserver& observer, const ConversionTuning& tuning) {
  return ConvertFile(inputPath, OutputPathFor(inputPath, settings.OutputFolder), settings, observer,
                     tuning);
}

FileOutcome ConvertFile(const std::string& inputPath, const OutputName& name,
                        const ConversionSettings& settings, ConversionObserver& observer,
                        const ConversionTuning& tuning) {
  FileOutcome outcome;
  outcome.outputPath = name.path;
  try {
    InputFile input(inputPath);
    outcome.inputBytes = input.size().value_or(0);
    if (!name.hadDot) {
      outcome.failures.push_back({FailureKind::Name, kNoDot});
    }
    try {
      Convert(input, name.path, settings, observer, tuning, outcome);
      outcome.status = FileOutcome::Status::Converted;
      return outcome;
    } catch (const ConversionError& error) {
      if (error.kind() == FailureKind::Read) {
        outcome.failures.clear();  // a file that cannot be read is skipped whole
      }
      throw;
    }
  } catch (const InputMissing&) {
    outcome.status = FileOutcome::Status::Missing;
  } catch (const ConversionError& error) {
    outcome.status = FileOutcome::Status::Failed;
    outcome.failures.push_back({error.kind(), error.what()});
  } catch (const std::bad_alloc&) {
    outcome.status = FileOutcome::Status::Failed;
    outcome.failures.assign({{FailureKind::OutOfMemory, kOutOfMemory}});
  } catch (const std::exception& error) {
    outcome.status = FileOutcome::Status::Failed;
    outcome.failures.assign({{FailureKind::Read, error.what()}});
  }
  return outcome;
}

}  // namespace rowvane
