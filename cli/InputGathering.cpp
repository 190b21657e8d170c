#include "cli/InputGathering.h"

#include <iterator>
#include <string_view>

#include "filelist/AddFolder.h"
#include "filelist/FileAttributes.h"
#include "filelist/GatherFolderFiles.h"

namespace rowvane::cli {
namespace {

constexpr std::string_view kCompressedCsvPattern = "*.csv.gz";

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

// The CSV files of `folder` and below, then the gzip-compressed ones, each
// folder's in directory-search order; the folders are walked once.
std::vector<std::string> CsvFilesBelow(const FileSystem& fileSystem, const std::string& folder) {
  std::vector<std::string> folders{folder + "/"};
  CollectSubFolders(fileSystem, folders, true, {});
  std::vector<std::string> files = FilesOfFolders(fileSystem, folders, kCsvFilePattern);
  std::vector<std::string> compressed = FilesOfFolders(fileSystem, folders, kCompressedCsvPattern);
  files.insert(files.end(), std::make_move_iterator(compressed.begin()),
               std::make_move_iterator(compressed.end()));
  return files;
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
      for (std::string& file : CsvFilesBelow(fileSystem, folder)) {
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
