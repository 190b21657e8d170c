#include "cli/InputGathering.h"

#include "filelist/FileAttributes.h"
#include "filelist/GatherFolderFiles.h"

namespace rowvane::cli {
namespace {

// The folder part of `file` below `folder`, which GatherFolderFiles joined as
// folder, "/" and the rest, with doubled separators collapsed.
std::string SubFolderOf(const std::string& file, const std::string& folder) {
  const std::string prefix = CollapseDoubledSeparators(folder + "/");
  const auto lastSeparator = file.rfind('/');
  if (!file.starts_with(prefix) || lastSeparator == std::string::npos ||
      lastSeparator < prefix.size()) {
    return {};
  }
  return file.substr(prefix.size(), lastSeparator - prefix.size());
}

}  // namespace

GatheredInputs GatherInputs(const FileSystem& fileSystem, const std::vector<std::string>& inputs,
                            bool recursive) {
  GatheredInputs gathered;
  for (const std::string& input : inputs) {
    const auto attributes = fileSystem.attributesOf(input);
    if (!attributes || (*attributes & attribute::kDirectory) == 0) {
      gathered.files.push_back(input);
      gathered.subFolders.emplace_back();
    } else if (recursive) {
      // The window's folder button takes the folder without a trailing separator.
      std::string folder = input;
      while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
      }
      for (std::string& file : GatherFolderFiles(fileSystem, folder)) {
        gathered.subFolders.push_back(SubFolderOf(file, folder));
        gathered.files.push_back(std::move(file));
      }
    } else {
      gathered.refusedFolders.push_back(input);
    }
  }
  return gathered;
}

}  // namespace rowvane::cli
