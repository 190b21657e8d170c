#include "cli/OutputFolder.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "engine/AtomicOutputFile.h"
#include "engine/Failure.h"
#include "engine/FolderExists.h"

namespace rowvane::cli {

std::optional<FolderProblem> OutputFolderProblem(const std::string& folder) {
  if (FolderExists(folder)) {
    return std::nullopt;
  }
  // Only the refusal is worded here; whether the folder will do is FolderExists's call.
  if (folder.empty()) {
    return FolderProblem{"the output folder's name is empty", false};
  }
  struct stat info {};
  if (::stat(folder.c_str(), &info) == 0) {
    return FolderProblem{"not a folder", false};
  }
  if (errno == ENOENT) {
    return FolderProblem{"no such folder (-p creates it)", true};
  }
  return FolderProblem{std::strerror(errno), false};
}

std::optional<std::string> MakeFolders(const std::string& folder) {
  // The folders to make, deepest first, up to the first one that exists.
  std::vector<std::string> missing;
  std::string path = folder;
  while (!path.empty() && path != "/" && path != "." && !FolderExists(path)) {
    missing.push_back(path);
    path = FolderOf(path);
  }
  for (auto each = missing.rbegin(); each != missing.rend(); ++each) {
    if (::mkdir(each->c_str(), 0777) != 0 && errno != EEXIST) {
      return std::string(std::strerror(errno));
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
