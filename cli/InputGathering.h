#pragma once

#include <string>
#include <vector>

#include "filelist/FileSystem.h"

namespace rowvane::cli {

/// The files a list of INPUT arguments stands for, in order, and the
/// arguments that were refused.
struct GatheredInputs {
  std::vector<std::string> files;
  /// For each file, the folder it lies in below the INPUT folder it was
  /// found in ("a/b" for INPUT/a/b/x.csv); empty for a file given as INPUT.
  std::vector<std::string> subFolders;
  std::vector<std::string> refusedFolders;  ///< folders given without --recursive
};

/// Replaces each INPUT that is a folder by its "*.csv" files, then its
/// "*.csv.gz" files, and those of
/// every folder below it, by the rules of the window's "Add All CSV File(s) In
/// Folder" button, when `recursive` is set; refuses it otherwise. Other
/// arguments stay as they are (a missing file is reported by the conversion).
GatheredInputs GatherInputs(const FileSystem& fileSystem, const std::vector<std::string>& inputs,
                            bool recursive);

}  // namespace rowvane::cli
