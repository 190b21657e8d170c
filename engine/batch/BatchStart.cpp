#include "engine/batch/BatchStart.h"

#include <sys/stat.h>

#include <cerrno>

#include "engine/io/AtomicOutputFile.h"
#include "engine/io/SystemError.h"

namespace rowvane {

OutputFolderVerdict CheckOutputFolder(const std::string& folder) {
  if (folder.empty() || folder.find('\0') != std::string::npos) {
    return {OutputFolderState::Missing, SystemMessage(ENOENT), ENOENT};
  }
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) {
    const int error = errno;
    // A file standing where a folder of the path should be means the folder
    // is not there either.
    const bool missing = error == ENOENT || error == ENOTDIR;
    return {missing ? OutputFolderState::Missing : OutputFolderState::Unusable,
            SystemMessage(error), error};
  }
  if (!S_ISDIR(info.st_mode)) {
    return {OutputFolderState::NotAFolder, SystemMessage(ENOTDIR), ENOTDIR};
  }
  return {};
}

OutputFolderVerdict StartBatch(const std::string& outputFolder,
                               const std::vector<std::string>& inputs) {
  OutputFolderVerdict verdict = CheckOutputFolder(outputFolder);
  if (verdict.ready()) {
    RemoveAbandonedTemporaryFiles(outputFolder, inputs);
  }
  return verdict;
}

}  // namespace rowvane
