#include "cli/OutputFolder.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "cli/PathStatus.h"
#include "engine/Batch.h"
#include "engine/Conversion.h"
#include "engine/Files.h"

namespace rowvane::cli {

std::optional<FolderProblem> OutputFolderProblem(const std::string& folder) {
  const OutputFolderVerdict verdict = CheckOutputFolder(folder);
  switch (verdict.state) {
    case OutputFolderState::Ready:
      return std::nullopt;
    case OutputFolderState::Missing:
      if (folder.empty()) {
        return FolderProblem{"the output folder's name is empty", false};
      }
      // A file where a folder of the path should be: -p could not help.
      if (verdict.errorNumber == ENOTDIR) {
        return FolderProblem{verdict.reason, false};
      }
      return FolderProblem{"no such folder (-p creates it)", true};
    case OutputFolderState::NotAFolder:
      return FolderProblem{"not a folder", false};
    case OutputFolderState::Unusable:
      break;
  }
  return FolderProblem{verdict.reason, false};
}

std::optional<std::string> MakeFolders(const std::string& folder) {
  // The folders to make, deepest first, up to the first one that exists.
  std::vector<std::string> missing;
  std::string path = folder;
  while (!path.empty() && path != "/" && path != "." && !CheckOutputFolder(path).ready()) {
    missing.push_back(path);
    path = FolderOf(path);
  }
  for (auto each = missing.rbegin(); each != missing.rend(); ++each) {
    if (const int error = MakeOneFolder(*each); error != 0 && error != EEXIST) {
      return std::string(std::strerror(error));
    }
    try {
      SyncFolder(FolderOf(*each));
    } catch (const ConversionError& error) {
      return std::string(error.what());
    }
  }
  return std::nullopt;
}

}  // namespace rowvane::cli
