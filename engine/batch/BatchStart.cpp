#include "engine/batch/BatchStart.h"

#include <cerrno>

#include "engine/io/AtomicOutputFile.h"
#include "engine/io/PathExists.h"
#include "engine/io/SystemError.h"

namespace rowvane {

OutputFolderVerdict CheckOutputFolder(const std::string& folder) {
  if (folder.empty() || folder.find('\0') != std::string::npos) {
    return {OutputFolderState::Missing, SystemMessage(ENOENT), ENOENT};
  }
  const FolderLookup found = LookUpFolder(folder);
  if (found.error != 0) {
    // A file standing where a folder of the path should be means the folder
    // is not there either.
    const bool missing = found.error == ENOENT || found.error == ENOTDIR;
    return {missing ? OutputFolderState::Missing : OutputFolderState::Unusable,
            SystemMessage(found.error), found.error};
  }
  if (!found.isFolder) {
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
